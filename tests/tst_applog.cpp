#include "app/applog.h"
#include "support/settingstestsupport.h"

#include <QtTest>

namespace {

const QString folder = QStringLiteral("LOGS_ZEVR_3G_Config");

QDateTime at(int day, int month, int year, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

} // namespace

class tst_applog : public QObject {
    Q_OBJECT

private slots:
    void nameAndLine_data();
    void nameAndLine();
    void keepsItsFileWhileTheFolderComesAndGoes();
};

void tst_applog::nameAndLine_data() {
    QTest::addColumn<QDateTime>("time");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("line");
    QTest::newRow("minutes in the name, no hour") << at(6, 12, 2026, 14, 5, 7) << "Устройство не обнаружено"
                                                  << "log_06122026_05.log"
                                                  << "06.12.2026 14:05:07:    Устройство не обнаружено\r\n";
    QTest::newRow("midnight, empty text") << at(1, 2, 2026, 0, 0, 9) << ""
                                          << "log_01022026_00.log"
                                          << "01.02.2026 00:00:09:    \r\n";
}

void tst_applog::nameAndLine() {
    QFETCH(QDateTime, time);
    QFETCH(QString, text);
    QFETCH(QString, name);
    QFETCH(QString, line);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    AppLog log(nullptr, [time] { return time; });
    QCOMPARE(log.fileName(), folder + QLatin1Char('/') + name);
    log.slot_write_to_log_file(text);
    QCOMPARE(readFileBytes(log.fileName()), line.toLocal8Bit());
}

// The name is taken once at start: later lines go to the same file, even after midnight. While the folder is
// gone lines are dropped; once it is back the next line starts the file again.
void tst_applog::keepsItsFileWhileTheFolderComesAndGoes() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QDateTime time = at(6, 12, 2026, 23, 41, 0);
    AppLog log(nullptr, [&time] { return time; });
    const QString file = folder + QStringLiteral("/log_06122026_41.log");
    log.slot_write_to_log_file(QStringLiteral("first"));
    time = time.addSecs(3660);
    log.slot_write_to_log_file(QStringLiteral("second"));
    QCOMPARE(readFileBytes(file), QByteArray("06.12.2026 23:41:00:    first\r\n07.12.2026 00:42:00:    second\r\n"));

    QVERIFY(QDir(folder).removeRecursively());
    log.slot_write_to_log_file(QStringLiteral("dropped"));
    QVERIFY(!QFileInfo::exists(folder));
    QVERIFY(QDir().mkdir(folder));
    log.slot_write_to_log_file(QStringLiteral("after"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
    QCOMPARE(readFileBytes(file), QByteArray("07.12.2026 00:42:00:    after\r\n"));
}

QTEST_GUILESS_MAIN(tst_applog)
#include "tst_applog.moc"
