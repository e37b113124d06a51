#include "app/applog.h"
#include "support/settingstestsupport.h"

#include <QtTest>

namespace {

const QString folder = QStringLiteral("LOGS_ZEVR_3G_Config");

QDateTime at(int day, int month, int year, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

// A clock the test moves by hand.
struct ManualClock {
    QDateTime time;
    AppLog::Clock function() {
        return [this] { return time; };
    }
};

} // namespace

class tst_applog : public QObject {
    Q_OBJECT

private slots:
    void fileNameFixedAtConstruction_data();
    void fileNameFixedAtConstruction();
    void lineFormat_data();
    void lineFormat();
    void linesAreAppendedInOrder();
    void runsInTheSameMinuteShareAFile();
    void fileIsNotHeldOpen();
    void deletedFolderDropsLinesUntilItIsBack();
    void folderThatCannotBeCreated();
};

void tst_applog::fileNameFixedAtConstruction_data() {
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<QString>("name");
    QTest::newRow("minutes, not month") << at(6, 12, 2026, 1, 41, 0) << "LOGS_ZEVR_3G_Config/log_06122026_41.log";
    QTest::newRow("no hour in the name") << at(6, 12, 2026, 23, 41, 59) << "LOGS_ZEVR_3G_Config/log_06122026_41.log";
    QTest::newRow("leading zeros") << at(1, 2, 2027, 9, 5, 3) << "LOGS_ZEVR_3G_Config/log_01022027_05.log";
}

void tst_applog::fileNameFixedAtConstruction() {
    QFETCH(QDateTime, start);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    ManualClock clock{start};
    AppLog log(nullptr, clock.function());
    QVERIFY(QFileInfo(folder).isDir());
    QTEST(log.fileName(), "name");
    // Nothing is written before the first line, so without logging no file appears.
    QVERIFY(QDir(folder).isEmpty());

    // Later lines do not move the log to another file, not even after midnight.
    clock.time = start.addDays(1).addSecs(3600);
    log.slot_write_to_log_file(QStringLiteral("next day"));
    QTEST(log.fileName(), "name");
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(log.fileName()).fileName()});
}

void tst_applog::lineFormat_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("status message") << at(6, 12, 2026, 14, 5, 7) << "Устройство не обнаружено"
                                    << "06.12.2026 14:05:07:    Устройство не обнаружено\r\n";
    QTest::newRow("empty message") << at(6, 12, 2026, 14, 5, 7) << ""
                                   << "06.12.2026 14:05:07:    \r\n";
    QTest::newRow("24-hour clock") << at(31, 1, 2027, 23, 59, 58) << "COM3  не открыт"
                                   << "31.01.2027 23:59:58:    COM3  не открыт\r\n";
    QTest::newRow("midnight, leading zeros") << at(1, 2, 2026, 0, 0, 9) << "Открыт COM3-115200-8-0-1-Нет"
                                             << "01.02.2026 00:00:09:    Открыт COM3-115200-8-0-1-Нет\r\n";
}

void tst_applog::lineFormat() {
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QFETCH(QString, line);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    ManualClock clock{time};
    AppLog log(nullptr, clock.function());
    log.slot_write_to_log_file(text);
    QCOMPARE(readFileBytes(log.fileName()), line.toLocal8Bit());
}

void tst_applog::linesAreAppendedInOrder() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    ManualClock clock{at(6, 12, 2026, 10, 41, 0)};
    AppLog log(nullptr, clock.function());
    log.slot_write_to_log_file(QStringLiteral("first"));
    clock.time = clock.time.addSecs(1);
    log.slot_write_to_log_file(QStringLiteral("second"));
    QCOMPARE(readFileBytes(log.fileName()),
             QByteArray("06.12.2026 10:41:00:    first\r\n06.12.2026 10:41:01:    second\r\n"));
}

void tst_applog::runsInTheSameMinuteShareAFile() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    ManualClock morning{at(6, 12, 2026, 10, 41, 12)};
    ManualClock later{at(6, 12, 2026, 11, 41, 30)};
    {
        AppLog first(nullptr, morning.function());
        first.slot_write_to_log_file(QStringLiteral("first run"));
    }
    AppLog second(nullptr, later.function());
    QCOMPARE(second.fileName(), QStringLiteral("LOGS_ZEVR_3G_Config/log_06122026_41.log"));
    second.slot_write_to_log_file(QStringLiteral("second run"));
    QCOMPARE(readFileBytes(second.fileName()),
             QByteArray("06.12.2026 10:41:12:    first run\r\n06.12.2026 11:41:30:    second run\r\n"));
}

// Another program may move the log away between lines; the next line then starts a new file under the name.
void tst_applog::fileIsNotHeldOpen() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    ManualClock clock{at(6, 12, 2026, 10, 41, 0)};
    AppLog log(nullptr, clock.function());
    log.slot_write_to_log_file(QStringLiteral("one"));
    QVERIFY(QFile::rename(log.fileName(), QStringLiteral("moved.log")));
    log.slot_write_to_log_file(QStringLiteral("two"));
    QCOMPARE(readFileBytes(QStringLiteral("moved.log")), QByteArray("06.12.2026 10:41:00:    one\r\n"));
    QCOMPARE(readFileBytes(log.fileName()), QByteArray("06.12.2026 10:41:00:    two\r\n"));
}

void tst_applog::deletedFolderDropsLinesUntilItIsBack() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    ManualClock clock{at(6, 12, 2026, 10, 41, 0)};
    AppLog log(nullptr, clock.function());
    log.slot_write_to_log_file(QStringLiteral("before"));
    QVERIFY(QDir(folder).removeRecursively());

    log.slot_write_to_log_file(QStringLiteral("dropped"));
    QVERIFY(!QFileInfo::exists(folder));

    QVERIFY(QDir().mkdir(folder));
    log.slot_write_to_log_file(QStringLiteral("after"));
    QCOMPARE(readFileBytes(log.fileName()), QByteArray("06.12.2026 10:41:00:    after\r\n"));
}

void tst_applog::folderThatCannotBeCreated() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(folder, "not a folder"));
    AppLog log;
    log.slot_write_to_log_file(QStringLiteral("dropped"));
    QCOMPARE(readFileBytes(folder), QByteArray("not a folder"));
    QCOMPARE(QDir().entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{folder});
}

QTEST_GUILESS_MAIN(tst_applog)
#include "tst_applog.moc"
