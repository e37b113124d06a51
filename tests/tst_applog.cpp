#include "app/applog.h"
#include "support/settingstestsupport.h"

#include <QRegularExpression>
#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

const QString folder = QStringLiteral("LOGS_ZEVR_3G_Config");

QDateTime at(int day, int month, int year, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second));
}

const QString stopped = QStringLiteral("Журнал не записывается");

// The numbers of the messages in the log's lines, in file order; a line that is not whole fails the test.
QList<int> wholeLines(const QByteArray &content) {
    const QRegularExpression whole(QStringLiteral("^06\\.12\\.2026 21:13:12:    /dev/ttyS9  не открыт (\\d+)\r$"));
    QList<int> numbers;
    for (const QString &line : QString::fromLocal8Bit(content).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = whole.match(line);
        if (!match.hasMatch()) {
            QTest::qFail(qPrintable("torn line: " + line), __FILE__, __LINE__);
            return {};
        }
        numbers << match.captured(1).toInt();
    }
    return numbers;
}
const QString linkRefused = QStringLiteral("это символическая ссылка, программа не пишет через ссылки");

} // namespace

class tst_applog : public QObject {
    Q_OBJECT

private slots:
    void nameAndLine_data();
    void nameAndLine();
    void keepsItsFileWhileTheFolderComesAndGoes();
    void refusesWhatIsNotItsFile_data();
    void refusesWhatIsNotItsFile();
    void fullDiskKeepsLinesWhole();
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

enum Obstacle {
    FileLinkToFile,
    FileLinkToNothing,
    FolderLink,
    FileForFolder,
    FolderForFile,
    Fifo,
    ReadOnlyFolder,
    SharedLog
};

void tst_applog::refusesWhatIsNotItsFile_data() {
    QTest::addColumn<int>("obstacle");
    QTest::addColumn<QString>("reason"); // empty: the lines are written
    QTest::addColumn<bool>("atFolder");  // the reason is the folder's, not the file's
    QTest::newRow("file links to the operator's shell start-up file") << int(FileLinkToFile) << linkRefused << false;
    QTest::newRow("file links to no file") << int(FileLinkToNothing) << linkRefused << false;
    QTest::newRow("folder links to another folder") << int(FolderLink) << linkRefused << true;
    QTest::newRow("a file where the folder should be") << int(FileForFolder) << "это не папка" << true;
    QTest::newRow("a folder in place of the file") << int(FolderForFile) << "это папка, а не файл" << false;
    QTest::newRow("FIFO in place of the file") << int(Fifo) << "это не обычный файл" << false;
    QTest::newRow("read-only folder") << int(ReadOnlyFolder) << QString::fromLocal8Bit(strerror(EACCES)) << false;
    // No owner check: a log that colleagues share stays theirs and ours.
    QTest::newRow("another user's log, writable for all") << int(SharedLog) << QString() << false;
}

// Whoever can write the working folder may plant names there; nothing is written through them, the line is dropped
// and the notice says once that logging has stopped.
void tst_applog::refusesWhatIsNotItsFile() {
    QFETCH(int, obstacle);
    QFETCH(QString, reason);
    QFETCH(bool, atFolder);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    const QString name = QStringLiteral("log_06122026_41.log");
    const QString file = folder + QLatin1Char('/') + name;
    const QString target = QDir(dir.path()).filePath(QStringLiteral("elsewhere/target"));
    const QByteArray bashrc = "# ~/.bashrc\n";
    QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")) && writeFileBytes(target, bashrc));
    QVERIFY(obstacle == FileForFolder ? writeFileBytes(folder, "not a folder")
                                      : QDir().mkdir(obstacle == FolderLink ? "other" : folder));
    if (obstacle == FolderLink)
        QVERIFY(makeLink(QDir(dir.path()).filePath(QStringLiteral("other")), folder));
    if (obstacle == FileLinkToFile || obstacle == FileLinkToNothing)
        QVERIFY(makeLink(obstacle == FileLinkToFile ? target : target + "-new", file));
    if (obstacle == Fifo)
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0666), 0);
    if (obstacle == FolderForFile)
        QVERIFY(QDir().mkdir(file));
    if (obstacle == SharedLog)
        QVERIFY(writeFileBytes(file, "") && ::chown(QFile::encodeName(file).constData(), nobody, nobody) == 0 &&
                setMode(file, 0666));
    QVERIFY(setMode(dir.path(), 0777) && (obstacle == FileForFolder || setMode(folder, 0755)));
    if (obstacle == ReadOnlyFolder && !modesApply())
        QSKIP("file modes do not stop this process from writing");

    AppLog log(nullptr, [] { return at(6, 12, 2026, 1, 41, 0); });
    QSignalSpy notices(&log, &AppLog::signal_notice);
    {
        const auto access = fileAccessAs(obstacle == ReadOnlyFolder || obstacle == SharedLog ? nobody : uid_t(-1));
        log.slot_write_to_log_file(QStringLiteral("$(command)  не открыт"));
        log.slot_write_to_log_file(QStringLiteral("second"));
    }
    QCOMPARE(readFileBytes(target), bashrc);
    QVERIFY(!QFileInfo::exists(target + "-new"));
    QCOMPARE(QDir(QStringLiteral("other")).entryList(QDir::Files), QStringList());
    if (reason.isEmpty()) {
        QCOMPARE(notices.count(), 0);
        QCOMPARE(readFileBytes(file), QByteArray("06.12.2026 01:41:00:    $(command)  не открыт\r\n"
                                                 "06.12.2026 01:41:00:    second\r\n"));
        return;
    }
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), stopped);
    QCOMPARE(notices.at(0).at(1).toString(), QDir(dir.path()).filePath(atFolder ? folder : file) + ": " + reason);
}

// A full disk drops lines but never tears one: the file holds whole lines only, in order, and once there is room
// again the next line goes in and the notice is withdrawn.
void tst_applog::fullDiskKeepsLinesWhole() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    SmallTmpfs tmpfs(dir.path(), "16k");
    if (!tmpfs.isMounted())
        QSKIP("cannot mount a small tmpfs here");
    QVERIFY(writeFileBytes(QStringLiteral("filler"), QByteArray(8 * 1024, 'x')));
    AppLog log(nullptr, [] { return at(6, 12, 2026, 21, 13, 12); });
    QSignalSpy notices(&log, &AppLog::signal_notice);
    QSignalSpy withdrawn(&log, &AppLog::signal_notice_withdrawn);
    const int messages = 400; // far more than the space holds
    for (int i = 0; i < messages; ++i)
        log.slot_write_to_log_file(QStringLiteral("/dev/ttyS9  не открыт %1").arg(i));
    const QList<int> kept = wholeLines(readFileBytes(log.fileName()));
    QVERIFY(!kept.isEmpty() && kept.size() < messages);
    QVERIFY(std::is_sorted(kept.begin(), kept.end()));
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(1).toString(),
             QDir(dir.path()).filePath(log.fileName()) + ": " + QString::fromLocal8Bit(strerror(ENOSPC)));

    QVERIFY(QFile::remove(QStringLiteral("filler")));
    log.slot_write_to_log_file(QStringLiteral("/dev/ttyS9  не открыт %1").arg(messages));
    QCOMPARE(withdrawn.count(), 1);
    QCOMPARE(withdrawn.at(0).at(0).toString(), stopped);
    QCOMPARE(wholeLines(readFileBytes(log.fileName())), kept + QList<int>{messages});
}

QTEST_GUILESS_MAIN(tst_applog)
#include "tst_applog.moc"
