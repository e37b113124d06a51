#include "dialogs/manualfile.h"
#include "dialogs/manualopener.h"
#include "support/settingstestsupport.h"
#include "support/xsession.h"

#include <QtTest>

namespace {

// Standard output of a program that must succeed.
QString run(const QString &program, const QStringList &arguments, const QStringList &environment = {}) {
    QProcess process;
    process.setEnvironment(QProcess::systemEnvironment() + environment); // a later assignment wins
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromLocal8Bit(process.readAllStandardError()) +
               QString::fromLocal8Bit(process.readAllStandardOutput());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// An xdg-open in place of the desktop's: it notes the file it was given and ends with `exitCode`.
bool writeOpener(const QString &dir, int exitCode) {
    const QByteArray script = "#!/bin/sh\nprintf '%s\\n' \"$*\" >> '" + QFile::encodeName(dir) + "/opened'\nexit " +
                              QByteArray::number(exitCode) + "\n";
    return writeFileBytes(dir + QStringLiteral("/xdg-open"), script) &&
           setMode(dir + QStringLiteral("/xdg-open"), 0700);
}

} // namespace

class tst_manual : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_stage.isValid() && m_runtimeDir.isValid());
        const QString output = run(QStringLiteral(ZEVR_CMAKE_COMMAND),
                                   {"--install", ZEVR_BINARY_DIR, "--prefix", "/usr"}, {"DESTDIR=" + m_stage.path()});
        QVERIFY2(!output.startsWith(QLatin1String("failed: ")), qPrintable(output));
        // Only programs in bin/; the manual, the desktop entry and the icons under share/; the programs run below.
        for (QDirIterator it(usr() + QStringLiteral("/bin"), QDir::Files | QDir::Hidden); it.hasNext();) {
            const QString file = it.next();
            const QByteArray start = readFileBytes(file).left(4);
            const bool program = start == QByteArray("\x7f") + "ELF" || start.startsWith("#!");
            QVERIFY2(QFileInfo(file).isExecutable() && program, qPrintable(file));
        }
        // Cyrillic that came out as missing glyphs would not be extracted as text.
        const QString manual = usr() + QStringLiteral("/share/zevr-3g-config/") + manualFileName();
        const QString info = run(QStringLiteral("pdfinfo"), {manual});
        const QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch() && pages.captured(1).toInt() >= 5, qPrintable(info));
        const QString text =
            run(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), manual, "-"});
        QVERIFY2(text.simplified().contains(QStringLiteral("Настройки связи")), qPrintable(text.left(200)));
        const QString icons = usr() + QStringLiteral("/share/icons/hicolor/");
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QString icon = icons + QStringLiteral("%1x%1/apps/zevr-3g-config.png").arg(size);
            QCOMPARE(QImage(icon).size(), QSize(size, size));
        }
        QVERIFY(readFileBytes(icons + QStringLiteral("scalable/apps/zevr-3g-config.svg")).contains("<svg"));
        const QString entry = usr() + QStringLiteral("/share/applications/zevr-3g-config.desktop");
        QCOMPARE(run(QStringLiteral("desktop-file-validate"), {entry}), QString());
        QVERIFY(readFileBytes(entry).contains("\nExec=\"/usr/libexec/zevr-3g-config/zevr-3g-config-launcher\"\n"));
    }

    // A folder of the manual's name is no manual; the installed one is found, also along blanks and Cyrillic.
    void findsTheManual() {
        QTemporaryDir base;
        const QString prefix = base.path() + QStringLiteral("/Мои программы/ЗЕВР 3G/");
        QVERIFY(QDir().mkpath(prefix + QStringLiteral("bin/") + manualFileName()));
        QCOMPARE(findManual(prefix + QStringLiteral("bin")), QString());
        const QString installed = prefix + QStringLiteral("share/zevr-3g-config/") + manualFileName();
        QVERIFY(QDir().mkpath(QFileInfo(installed).path()) && writeFileBytes(installed, "%PDF-1.4\n"));
        QCOMPARE(findManual(prefix + QStringLiteral("bin")), installed);
    }

    void openerSaysWhy_data() {
        QTest::addColumn<int>("exitCode");    // of the stand-in xdg-open; -1: there is none
        QTest::addColumn<QString>("text");    // of the notice; empty: none
        QTest::addColumn<QString>("details"); // how its tooltip goes on after the manual's path
        QTest::newRow("viewer opens it") << 0 << QString() << "";
        QTest::newRow("no viewer") << 3 << QStringLiteral("Руководство не открыто: нет программы для просмотра PDF")
                                   << "нет программы для просмотра PDF (xdg-open: код 3)";
        QTest::newRow("no xdg-open") << -1 << QStringLiteral("Руководство не открыто: нет программы xdg-open")
                                     << "xdg-open не запускается: ";
        const QString failed = QStringLiteral("программа просмотра сообщила об ошибке"); // any other code, 4 among them
        QTest::newRow("viewer fails") << 4 << "Руководство не открыто: " + failed << failed + " (xdg-open: код 4)";
    }

    void openerSaysWhy() {
        QFETCH(int, exitCode);
        QFETCH(QString, text);
        QFETCH(QString, details);
        QTemporaryDir bin;
        QVERIFY(exitCode < 0 || writeOpener(bin.path(), exitCode));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin.path()));
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });
        const QString manual = QStringLiteral("/opt/ЗЕВР 3G/Руководство пользователя.pdf");
        ManualOpener opener;
        QSignalSpy failed(&opener, &ManualOpener::failed);

        opener.open(manual);
        QVERIFY(waitUntil(10000, [&] { return opener.findChildren<QProcess *>().isEmpty(); }));
        if (exitCode >= 0)
            QCOMPARE(readFileBytes(bin.filePath(QStringLiteral("opened"))), manual.toUtf8() + '\n');
        QCOMPARE(failed.count(), text.isEmpty() ? 0 : 1);
        QCOMPARE(failed.value(0).value(0).toString(), text);
        const QString tooltip = failed.value(0).value(1).toString();
        QVERIFY2(text.isEmpty() || tooltip.startsWith(manual + '\n' + details), qPrintable(tooltip));
    }

    void installedProgram_data() {
        QTest::addColumn<QString>("dataHome"); // XDG_DATA_HOME, with "~" for the test's home
        QTest::addColumn<QString>("folder");
        const QString fallback = QStringLiteral("~/.local/share/zevr-3g-config");
        QTest::newRow("XDG_DATA_HOME") << "~/data" << QStringLiteral("~/data/zevr-3g-config");
        QTest::newRow("unset") << "" << fallback;
        QTest::newRow("relative, so ignored") << "data" << fallback;
    }

    // Started from the desktop entry, the program keeps its files in a folder of its own, made on first use; the folder
    // it was started from stays clean. It hands the installed manual to the desktop; when the desktop cannot open it, a
    // notice appears in the status bar, and a later request that succeeds takes it away.
    void installedProgram() {
        QFETCH(QString, dataHome);
        QFETCH(QString, folder);
        XServer x;
        QVERIFY2(x.isValid(), "Xvfb did not start; scripts/test.sh installs the package xvfb");
        QTemporaryDir home, startedIn, bin;
        QVERIFY(writeOpener(bin.path(), 0));
        ProgramUnderX program(x.display(), startedIn.path(), m_runtimeDir.path(),
                              usr() + QStringLiteral("/libexec/zevr-3g-config/zevr-3g-config-launcher"),
                              {"HOME=" + home.path(), "XDG_DATA_HOME=" + dataHome.replace('~', home.path()),
                               "PATH=" + bin.path() + ':' + qEnvironmentVariable("PATH")});
        const quint32 window = program.waitForWindow(QStringLiteral("ЗЕВР-3G-Config v.1.2"));
        QVERIFY2(window, "no main window");
        const QDir expected(folder.replace('~', home.path()));
        QVERIFY2(QFileInfo(expected.filePath(QStringLiteral("settings.ini"))).size() > 0, qPrintable(expected.path()));
        QVERIFY(QFileInfo(expected.filePath(QStringLiteral("LOGS_ZEVR_3G_Config"))).isDir());
        QCOMPARE(QDir(startedIn.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());

        // The bottom of the window, where the status bar holds the notice.
        const auto statusStrip = [&] {
            const QImage picture = grabWindow(x.display(), window);
            return picture.isNull() ? picture : picture.copy(0, picture.height() - 20, picture.width(), 20);
        };
        // A window may still paint after it maps, slowly under a sanitizer: the reference is the strip once steady.
        QImage plain;
        int steady = 0;
        QVERIFY(waitUntil(10000, [&] {
            const QImage now = statusStrip();
            steady = !now.isNull() && now == plain ? steady + 1 : 0;
            plain = now;
            return steady >= 6;
        }));
        const QString opened = bin.filePath(QStringLiteral("opened"));
        const QByteArray manual = (usr() + QStringLiteral("/share/zevr-3g-config/") + manualFileName()).toUtf8();
        QByteArray requests;
        for (const int exitCode : {0, 3, 0}) {
            QVERIFY(writeOpener(bin.path(), exitCode));
            QVERIFY2(program.chooseManual(window), "the menu did not open");
            requests += manual + '\n';
            const bool shown = waitUntil(10000, [&] {
                return readFileBytes(opened) == requests && (statusStrip() != plain) == (exitCode != 0);
            });
            QVERIFY2(shown, qPrintable(QStringLiteral("viewer's exit code %1, requests: ").arg(exitCode) +
                                       readFileBytes(opened)));
        }
        QVERIFY(program.chooseExit(window));
        QCOMPARE(program.waitForExit(), 0);
    }

private:
    QString usr() const { return m_stage.path() + QStringLiteral("/usr"); }

    QTemporaryDir m_stage; // DESTDIR of a package built for the prefix /usr
    QTemporaryDir m_runtimeDir;
};

QTEST_MAIN(tst_manual)
#include "tst_manual.moc"
