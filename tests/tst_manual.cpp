#include "dialogs/manualurl.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

static const QString manualName = QStringLiteral("Руководство пользователя.pdf");
static const QString builtManual = QStringLiteral(ZEVR_BINARY_DIR "/") + manualName;

// Runs a poppler tool on the built manual; an empty result when the tool is not installed.
static QString popplerOutput(const QString &tool, const QStringList &extra = {}) {
    if (QStandardPaths::findExecutable(tool).isEmpty())
        return {};
    QProcess process;
    process.start(tool, QStringList(extra) << builtManual << QStringLiteral("-"));
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The number of pages as the page tree's /Count names it; -1 when there is none.
static int pageTreeCount(const QByteArray &pdf) {
    const int tree = pdf.indexOf("/Type /Pages");
    const int count = tree < 0 ? -1 : pdf.indexOf("/Count", tree);
    if (count < 0 || pdf.lastIndexOf(">>", count) > tree)
        return -1;
    const QByteArray digits = pdf.mid(count + 6, 16).simplified().split(' ').value(0);
    bool ok = false;
    const int pages = digits.toInt(&ok);
    return ok ? pages : -1;
}

class tst_manual : public QObject {
    Q_OBJECT

private slots:
    void urlNamesTheFile_data();
    void urlNamesTheFile();
    void urlOpensAnExistingFile();
    void builtManualHasPages();
    void builtManualHasCyrillicText();
};

void tst_manual::urlNamesTheFile_data() {
    QTest::addColumn<QString>("dir");
    QTest::newRow("plain") << "/opt/zevr/bin";
    QTest::newRow("blanks") << "/opt/ZEVR 3G Config/bin";
    QTest::newRow("cyrillic") << "/home/оператор/программы";
    QTest::newRow("blanks and cyrillic") << "/home/оператор/Мои программы/ЗЕВР 3G";
    QTest::newRow("percent and hash") << "/tmp/100% #1";
}

void tst_manual::urlNamesTheFile() {
    QFETCH(QString, dir);
    const QUrl url = manualUrl(dir);
    QVERIFY(url.isValid());
    QVERIFY(url.isLocalFile());
    QCOMPARE(url.toLocalFile(), dir + QLatin1Char('/') + manualName);
    // What a desktop handler receives is the encoded form; it must name the same file.
    const QByteArray encoded = url.toEncoded();
    QVERIFY(encoded.startsWith("file:///"));
    QVERIFY(!encoded.startsWith("file:////"));
    QVERIFY(!encoded.contains(' '));
    QCOMPARE(QUrl::fromEncoded(encoded, QUrl::StrictMode).toLocalFile(), dir + QLatin1Char('/') + manualName);
}

void tst_manual::urlOpensAnExistingFile() {
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString dir = base.path() + QStringLiteral("/Программа ЗЕВР 3G");
    QVERIFY(QDir().mkpath(dir));
    QFile file(dir + QLatin1Char('/') + manualName);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("%PDF-1.4\n");
    file.close();

    const QUrl url = QUrl::fromEncoded(manualUrl(dir).toEncoded());
    QFile reopened(url.toLocalFile());
    QVERIFY2(reopened.open(QIODevice::ReadOnly), qPrintable(url.toString()));
    QCOMPARE(reopened.readAll(), QByteArray("%PDF-1.4\n"));
}

void tst_manual::builtManualHasPages() {
    QFile file(builtManual);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(builtManual));
    const QByteArray content = file.readAll();
    QVERIFY(content.startsWith("%PDF-"));
    const int pages = pageTreeCount(content);
    QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));

    const QString info = popplerOutput(QStringLiteral("pdfinfo"));
    if (info.isEmpty())
        QSKIP("pdfinfo (poppler-utils) is not installed; the page tree was checked alone.");
    const QRegularExpressionMatch reported = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY(reported.hasMatch());
    QCOMPARE(reported.captured(1).toInt(), pages);
}

// Cyrillic that came out as missing glyphs would not be extracted as text.
void tst_manual::builtManualHasCyrillicText() {
    const QString text = popplerOutput(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8")});
    if (text.isEmpty())
        QSKIP("pdftotext (poppler-utils) is not installed.");
    const QString flat = text.simplified();
    for (const char *phrase : {"Руководство пользователя", "Настройки связи", "Устройство не обнаружено",
                               "Обнаружено устройство", "Эл. счетчик"})
        QVERIFY2(flat.contains(QString::fromUtf8(phrase)), phrase);
}

QTEST_MAIN(tst_manual)
#include "tst_manual.moc"
