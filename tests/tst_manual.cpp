#include "dialogs/manualurl.h"
#include "mainwindow/mainwindow.h"

#include <QAction>
#include <QDesktopServices>

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

static const QString manualName = QStringLiteral("Руководство пользователя.pdf");
static const QString builtManual = QStringLiteral(ZEVR_BINARY_DIR "/") + manualName;

// Standard output of a program that must succeed.
static QString run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

class tst_manual : public QObject {
    Q_OBJECT

public slots:
    void catchUrl(const QUrl &url) { m_opened << url; }

private slots:
    void menuOpensTheManual();
    void urlNamesTheFile_data();
    void urlNamesTheFile();
    void builtManualHasPages();
    void installPutsManualBesideProgram();

private:
    QList<QUrl> m_opened;
};

// "Справка" hands the desktop the manual that lies beside the program.
void tst_manual::menuOpensTheManual() {
    QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "catchUrl");
    MainWindow window;
    window.findChild<QAction *>(QStringLiteral("action_re"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(m_opened, QList<QUrl>{manualUrl(QCoreApplication::applicationDirPath())});
}

void tst_manual::urlNamesTheFile_data() {
    QTest::addColumn<QString>("dir");
    QTest::newRow("blanks and cyrillic") << "/home/оператор/Мои программы/ЗЕВР 3G";
    QTest::newRow("percent and hash") << "/tmp/100% #1";
}

// What a desktop handler receives is the encoded form; it must name the same file.
void tst_manual::urlNamesTheFile() {
    QFETCH(QString, dir);
    const QByteArray encoded = manualUrl(dir).toEncoded();
    QVERIFY(encoded.startsWith("file:///") && !encoded.startsWith("file:////"));
    QVERIFY(!encoded.contains(' '));
    QCOMPARE(QUrl::fromEncoded(encoded, QUrl::StrictMode).toLocalFile(), dir + QLatin1Char('/') + manualName);
}

// Cyrillic that came out as missing glyphs would not be extracted as text.
void tst_manual::builtManualHasPages() {
    const QString info = run(QStringLiteral("pdfinfo"), {builtManual});
    const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    QVERIFY2(pages.hasMatch(), qPrintable(info));
    QVERIFY2(pages.captured(1).toInt() >= 5, qPrintable(pages.captured(1)));
    const QString text = run(QStringLiteral("pdftotext"),
                             {QStringLiteral("-enc"), QStringLiteral("UTF-8"), builtManual, QStringLiteral("-")});
    QVERIFY2(text.simplified().contains(QStringLiteral("Настройки связи")), qPrintable(text.left(200)));
}

void tst_manual::installPutsManualBesideProgram() {
    QTemporaryDir base;
    const QString prefix = base.path() + QStringLiteral("/Пре фикс");
    const QString output =
        run(QStringLiteral(ZEVR_CMAKE_COMMAND),
            {QStringLiteral("--install"), QStringLiteral(ZEVR_BINARY_DIR), QStringLiteral("--prefix"), prefix});
    QVERIFY2(!output.startsWith(QLatin1String("failed: ")), qPrintable(output));
    const QString bin = prefix + QStringLiteral("/bin");
    QVERIFY(QFileInfo(bin + QStringLiteral("/ZEVR-3G-Config")).isExecutable());
    QCOMPARE(QFileInfo(manualUrl(bin).toLocalFile()).size(), QFileInfo(builtManual).size());
}

QTEST_MAIN(tst_manual)
#include "tst_manual.moc"
