#include "dialogs/manualfile.h"
#include "workfiles/applog.h"
#include "workfiles/settingsfile.h"

#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

#include <windows.h>

// The work files as a Russian Windows keeps them: settings.ini replaced whole, the log in the ANSI code page with
// CR LF lines, and every refusal told in Russian.
namespace {

const QByteArray defaultBytes = "COM Log\r\n1\r\nCOM Port\r\n\r\nBaudRate\r\n115200\r\nParity\r\nnone\r\n"
                                "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\ntrue\r\n";
const QString logFolder = QStringLiteral("LOGS_ZEVR_3G_Config");

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

void setReadOnly(const QString &path, bool readOnly) {
    const std::wstring name = QDir::toNativeSeparators(path).toStdWString();
    SetFileAttributesW(name.c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

QDateTime fixedTime() { return QDateTime(QDate(2026, 12, 6), QTime(21, 13, 12)); }

} // namespace

class tst_winfiles : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_previous = QDir::currentPath();
        m_dir = new QTemporaryDir;
        QVERIFY(m_dir->isValid() && QDir::setCurrent(m_dir->path()));
        // Qt on Windows keeps the absolute path a relative file name had when first used; the program's working
        // folder never changes, but each case here has a folder of its own.
        settings_file.setFileName(QStringLiteral("settings.ini"));
    }

    void cleanup() {
        setReadOnly(QStringLiteral("settings.ini"), false);
        QDir::setCurrent(m_previous);
        delete std::exchange(m_dir, nullptr);
    }

    // The rest of this test reads the log as 1251; a run under another code page would prove nothing about it.
    void ansiCodePageIsCyrillic() { QCOMPARE(GetACP(), 1251u); }

    // The defaults at first start, then a rewrite that replaces the file whole and leaves no temporary file beside it.
    void settingsWrittenWhole() {
        const FileResult result = settings_at_start();
        QVERIFY2(result.ok(), qPrintable(result.details()));
        QCOMPARE(readAll(QStringLiteral("settings.ini")), defaultBytes);
        const FileResult stored =
            store_settings(read_settings_snapshot(), {{QStringLiteral("COM Port"), QStringLiteral("COM5")},
                                                      {QStringLiteral("COM Auto"), "false"}});
        QVERIFY2(stored.ok(), qPrintable(stored.details()));
        QCOMPARE(readAll(QStringLiteral("settings.ini")),
                 QByteArray("BaudRate\r\n115200\r\nCOM Auto\r\nfalse\r\nCOM Log\r\n1\r\nCOM Port\r\nCOM5\r\n"
                            "Lenght\r\n8 bit\r\nParity\r\nnone\r\nStop Bit\r\n1 bit\r\n"));
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("settings.ini")});
    }

    void refusedSettings_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only") << QStringLiteral("read-only") << "файл только для чтения";
        QTest::newRow("folder") << QStringLiteral("folder") << "это папка, а не файл";
    }

    // What stands at the name stays as it was, and the reason is the program's own, in Russian.
    void refusedSettings() {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        const QString name = QStringLiteral("settings.ini");
        if (obstacle == QLatin1String("folder")) {
            QVERIFY(QDir().mkdir(name));
        } else {
            QVERIFY(writeBytes(name, "COM Port\r\nCOM3\r\n"));
            setReadOnly(name, true);
        }
        const FileResult result = store_settings(read_settings_snapshot(), {{QStringLiteral("COM Port"), "COM5"}});
        QVERIFY2(!result.ok() && result.reason.startsWith(reason), qPrintable(result.reason));
        QCOMPARE(result.path, QFileInfo(name).absoluteFilePath());
        if (obstacle != QLatin1String("folder"))
            QCOMPARE(readAll(name), QByteArray("COM Port\r\nCOM3\r\n"));
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{name});
    }

    // The manual lies beside the program: one folder to look in, named once when the manual is missing.
    void manualFolderNamedOnce() { QCOMPARE(manualFolders("C:/zevr"), QStringList{"C:/zevr"}); }

    void logLinesInCodePage1251() {
        AppLog log(nullptr, fixedTime);
        QSignalSpy notices(&log, &AppLog::signal_notice);
        log.slot_write_to_log_file(QStringLiteral("Открыт COM5-115200-8-0-1-Нет"));
        log.slot_write_to_log_file(QStringLiteral("Отправлено. COM5 закрыт"));
        QCOMPARE(notices.count(), 0);
        QCOMPARE(QFileInfo(log.fileName()).fileName(), QStringLiteral("log_06122026_13.log"));
        const QByteArray expected =
            QTextCodec::codecForName("windows-1251")
                ->fromUnicode(QStringLiteral("06.12.2026 21:13:12:    Открыт COM5-115200-8-0-1-Нет\r\n"
                                             "06.12.2026 21:13:12:    Отправлено. COM5 закрыт\r\n"));
        QCOMPARE(readAll(log.fileName()), expected);
    }

    void logRefusals_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("folder is a file") << QStringLiteral("folder-file") << "это не папка";
        QTest::newRow("log is a folder") << QStringLiteral("log-folder") << "это папка, а не файл";
        QTest::newRow("read-only log") << QStringLiteral("read-only") << "файл только для чтения";
    }

    // A log that cannot be written is told once, as the notice, with the reason; nothing else is harmed.
    void logRefusals() {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        if (obstacle == QLatin1String("folder-file"))
            QVERIFY(writeBytes(logFolder, "not a folder"));
        AppLog log(nullptr, fixedTime);
        if (obstacle == QLatin1String("log-folder"))
            QVERIFY(QDir().mkdir(log.fileName()));
        if (obstacle == QLatin1String("read-only")) {
            QVERIFY(writeBytes(log.fileName(), "old\r\n"));
            setReadOnly(log.fileName(), true);
        }
        QSignalSpy notices(&log, &AppLog::signal_notice);
        log.slot_write_to_log_file(QStringLiteral("Устройство не обнаружено"));
        log.slot_write_to_log_file(QStringLiteral("Устройство не обнаружено"));
        QCOMPARE(notices.count(), 1);
        QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("Журнал не записывается"));
        QVERIFY2(notices.at(0).at(1).toString().endsWith(QLatin1String(": ") + reason),
                 qPrintable(notices.at(0).at(1).toString()));
        if (obstacle == QLatin1String("folder-file"))
            QCOMPARE(readAll(logFolder), QByteArray("not a folder"));
        if (obstacle == QLatin1String("read-only")) {
            QCOMPARE(readAll(log.fileName()), QByteArray("old\r\n"));
            setReadOnly(log.fileName(), false);
        }
    }

private:
    QTemporaryDir *m_dir = nullptr;
    QString m_previous;
};

QTEST_GUILESS_MAIN(tst_winfiles)
#include "tst_winfiles.moc"
