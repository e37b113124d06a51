#include "app/mainwindow.h"
#include "dialogs/manualurl.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

static const QString manualName = QStringLiteral("Руководство пользователя.pdf");
static const QString builtManual = QStringLiteral(ZEVR_BINARY_DIR "/") + manualName;

// Runs a poppler tool; its standard output, or an empty text when it failed.
static QString toolOutput(const QString &tool, const QStringList &arguments) {
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

static bool installed(const QString &tool) { return !QStandardPaths::findExecutable(tool).isEmpty(); }

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

// Stands in for the desktop: receives what the program asks it to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class tst_manual : public QObject {
    Q_OBJECT

private slots:
    void urlNamesTheFile_data();
    void urlNamesTheFile();
    void urlOpensAnExistingFile();
    void helpMenuOpensTheManualBesideTheProgram();
    void builtManualHasPages();
    void builtManualHasCyrillicText();
    void installPutsManualBesideProgram();
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

void tst_manual::helpMenuOpensTheManualBesideTheProgram() {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    MainWindow window;
    auto *action = window.findChild<QAction *>(QStringLiteral("action_re"));
    QVERIFY(action);
    action->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first().toLocalFile(),
             QCoreApplication::applicationDirPath() + QLatin1Char('/') + manualName);
}

void tst_manual::builtManualHasPages() {
    QFile file(builtManual);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(builtManual));
    const QByteArray content = file.readAll();
    QVERIFY(content.startsWith("%PDF-"));
    const int pages = pageTreeCount(content);
    QVERIFY2(pages >= 5, qPrintable(QString::number(pages)));
    // The three tabs (one of them twice) and the two dialogs.
    QVERIFY2(content.count("/Subtype /Image") >= 6, qPrintable(QString::number(content.count("/Subtype /Image"))));

    if (!installed(QStringLiteral("pdfinfo")))
        QSKIP("pdfinfo (poppler-utils) is not installed; the page tree was checked alone.");
    const QString info = toolOutput(QStringLiteral("pdfinfo"), {builtManual});
    const QRegularExpressionMatch reported = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY(reported.hasMatch());
    QCOMPARE(reported.captured(1).toInt(), pages);
}

// Cyrillic that came out as missing glyphs would not be extracted as text.
void tst_manual::builtManualHasCyrillicText() {
    if (!installed(QStringLiteral("pdftotext")))
        QSKIP("pdftotext (poppler-utils) is not installed.");
    const QString text = toolOutput(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"),
                                                                  builtManual, QStringLiteral("-")});
    const QString flat = text.simplified();
    for (const char *phrase : {"Руководство пользователя", "Настройки связи", "Устройство не обнаружено",
                               "Обнаружено устройство", "Эл. счетчик"})
        QVERIFY2(flat.contains(QString::fromUtf8(phrase)), phrase);
}

static QMap<QString, QString> desktopEntry(const QString &path) {
    QMap<QString, QString> keys;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return keys;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const int equals = line.indexOf(QLatin1Char('='));
        if (equals > 0)
            keys.insert(line.left(equals), line.mid(equals + 1));
    }
    return keys;
}

void tst_manual::installPutsManualBesideProgram() {
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString prefix = base.path() + QStringLiteral("/Пре фикс");
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral(ZEVR_CMAKE_COMMAND),
                  {QStringLiteral("--install"), QStringLiteral(ZEVR_BINARY_DIR), QStringLiteral("--prefix"), prefix});
    QVERIFY(install.waitForFinished(120000));
    QVERIFY2(install.exitCode() == 0, install.readAll().constData());

    const QString bin = prefix + QStringLiteral("/bin");
    QVERIFY(QFileInfo(bin + QStringLiteral("/ZEVR-3G-Config")).isExecutable());
    const QString manual = manualUrl(bin).toLocalFile();
    QVERIFY2(QFileInfo::exists(manual), qPrintable(manual));
    QCOMPARE(QFileInfo(manual).size(), QFileInfo(builtManual).size());

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    const QMap<QString, QString> entry =
        desktopEntry(prefix + QStringLiteral("/share/applications/zevr-3g-config.desktop"));
    QCOMPARE(entry.value(QStringLiteral("Type")), QStringLiteral("Application"));
    QCOMPARE(entry.value(QStringLiteral("Terminal")), QStringLiteral("false"));
    QCOMPARE(entry.value(QStringLiteral("Exec")), QLatin1Char('"') + bin + QStringLiteral("/ZEVR-3G-Config\""));
    QCOMPARE(entry.value(QStringLiteral("Icon")), QStringLiteral("zevr-3g-config"));
    QVERIFY(entry.value(QStringLiteral("Categories")).endsWith(QLatin1Char(';')));
    QVERIFY(!entry.value(QStringLiteral("Name")).isEmpty());
    const QImage icon(prefix + QStringLiteral("/share/icons/hicolor/128x128/apps/zevr-3g-config.png"));
    QCOMPARE(icon.size(), QSize(128, 128));
#endif
}

QTEST_MAIN(tst_manual)
#include "tst_manual.moc"
