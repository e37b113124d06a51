#include "app/instancemutex.h"
#include "serial/serialthread.h"
#include "support/ptypair.h"
#include "support/settingstestsupport.h"
#include "workfiles/applog.h"
#include "workfiles/fileresult.h"
#include "workfiles/safefile.h"
#include "workfiles/settingsfile.h"
#include "workfiles/systemreason.h"

#include <QtTest>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

// The files the program keeps in its working folder: settings.ini, the log, and the instance lock beside them.
namespace {

const QString fileName = QStringLiteral("settings.ini");
const QByteArray defaultBytes = "COM Log\r\n1\r\nCOM Port\r\n\r\nBaudRate\r\n115200\r\nParity\r\nnone\r\n"
                                "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\ntrue\r\n";
const QByteArray allKeys = "COM Port\r\nCOM7\r\nBaudRate\r\n9600\r\nLenght\r\n7 bit\r\nParity\r\neven\r\n"
                           "Stop Bit\r\n2 bit\r\nCOM Auto\r\nfalse\r\nCOM Log\r\n1\r\n";
const QByteArray invalidUtf8("\xC3\x28\xFF\xFE\xED\xA0\x80\xF8\x88\x80\x80\x80", 12);

// Allocations cost far more under the sanitizers; a reader quadratic in the size still runs into the time limit.
#ifdef __SANITIZE_ADDRESS__
const int largeFileSize = 8 << 20;
#else
const int largeFileSize = 50 << 20;
#endif

// What start-up and the worker take from the file: port/baud/lenght/parity/stopbit/auto/com_log.
QString loadedValues() {
    const ConnectionValues v = connectionValuesFromMap(read_settings_map());
    com_log = 0;
    load_com_log();
    return v.com_port +
           QString::asprintf("/%d/%d/%d/%d/%d/%d", v.baud, v.lenght, v.parity, v.stopbit, v.com_auto, com_log);
}

// What the link runs with once it has loaded the file: port/baud/lenght/parity/stopbit/auto.
QString workerValues() {
    SerialThread worker;
    worker.slot_run();
    return worker.com_port + QString::asprintf("/%d/%d/%d/%d/%d", worker.baud, worker.lenght, worker.parity,
                                               worker.stopbit, worker.com_auto);
}

// A file as Notepad saves "Unicode": UTF-16, little-endian, with the byte-order mark the codec writes.
QByteArray utf16(const QString &text, const char *codec = "UTF-16LE") {
    return QTextCodec::codecForName(codec)->fromUnicode(text);
}

const QString folder = QStringLiteral("LOGS_ZEVR_3G_Config");

const QString stopped = QStringLiteral("Журнал не записывается");

// The numbers of the messages in the log's lines, in file order; -1 for a line that is not whole.
QList<int> wholeLines(const QByteArray &content) {
    const QRegularExpression whole(QStringLiteral("^06\\.12\\.2026 21:13:12:    /dev/ttyS9  не открыт (\\d+)\r$"));
    QList<int> numbers;
    for (const QString &line : QString::fromLocal8Bit(content).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch match = whole.match(line);
        numbers << (match.hasMatch() ? match.captured(1).toInt() : -1);
    }
    return numbers;
}

// Someone else's file, which a planted link points to.
const QByteArray foreign = "root:x:0:0:root:/root:/bin/bash\n";
const QString linkRefused = QStringLiteral("это символическая ссылка, программа не пишет через ссылки");
const QString folderRefused = QStringLiteral("это папка, а не файл");
const QString typeRefused = QStringLiteral("это не обычный файл");
// The system's reasons in Russian, the system's own words after them.
const QString denied = "нет прав доступа (" + QString::fromLocal8Bit(strerror(EACCES)) + ")";
const QString full = "нет места на диске (" + QString::fromLocal8Bit(strerror(ENOSPC)) + ")";

// A socket left at `path`, as a crashed server leaves it.
bool bindSocket(const QString &path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, QFile::encodeName(path).constData(), sizeof address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

enum Obstacle { Folder, Fifo, Unreadable, ReadOnly, ReadOnlyDir, NoFileReadOnlyDir, TooLarge, Link, DeadLink };
// Only the log has a folder of its own; a link to a folder is followed, a link to anything else is not.
enum LogObstacle {
    DirLink = DeadLink + 1,
    DirLinkToFile,
    DirLinkToNothing,
    LinkInLinkedDir,
    SharedLog,
    Socket,
    ClosedDir
};

} // namespace

class tst_workfiles : public QObject {
    Q_OBJECT

private slots:
    // Linux workstations read the file as UTF-8, so bytes from a Windows-era file are what it cannot read.
    void initTestCase() { QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8")); }

    void init() {
        m_dir.emplace();
        QVERIFY(m_dir->isValid());
    }
    void cleanup() { m_dir.reset(); }
    void values_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("values");
        QTest::addColumn<bool>("usable"); // holds a key the program knows
        const QString keysValues = QStringLiteral("COM7/9600/7/2/2/0/1");
        const QString otherText = QStringLiteral("/0/7/3/2/0/0");
        QTest::newRow("default file") << defaultBytes << "/115200/8/0/1/1/1" << true;
        QTest::newRow("every key") << allKeys << keysValues << true;
        QTest::newRow("LF-only lines") << QByteArray(allKeys).replace("\r\n", "\n") << keysValues << true;
        QTest::newRow("no final line end") << allKeys.chopped(2) << keysValues << true;
        QTest::newRow("COM Port key with a trailing space")
            << QByteArray("COM Port \r\nCOM3\r\n") << otherText << false;
        QTest::newRow("last duplicate wins")
            << QByteArray("BaudRate\r\n2400\r\nBaudRate\r\n38400\r\n") << "/38400/7/3/2/0/0" << true;
        QTest::newRow("blank line shifts the pairs")
            << QByteArray("COM Log\r\n1\r\n\r\nBaudRate\r\n9600\r\n") << "/0/7/3/2/0/1" << true;
        QTest::newRow("empty file") << QByteArray() << otherText << false;
        QTest::newRow("invalid UTF-8") << QByteArray("COM Port\r\n" + invalidUtf8 + "\r\nCOM Log\r\n1\r\n")
                                       << QString::fromLocal8Bit(invalidUtf8) + "/0/7/3/2/0/1" << true;
        const QByteArray manyPairs =
            QByteArray("COM Log\r\n0\r\nParity\r\neven\r\n").repeated(largeFileSize / 26) + "COM Log\r\n1\r\n";
        QTest::newRow("large file") << manyPairs << "/0/7/2/2/0/1" << true;
        for (const char *key : {"COM Log", "COM Port", "BaudRate", "Parity", "Lenght", "Stop Bit", "COM Auto"})
            QTest::addRow("%s alone, empty", key) << QByteArray(key) + "\r\n\r\n" << otherText << true;
        QCOMPARE(defaultSettingsContent(), defaultBytes); // what a first start writes, byte for byte
    }

    void values() {
        QFETCH(QByteArray, content);
        QVERIFY(writeFileBytes(fileName, content));
        QTEST(loadedValues(), "values");
        // A file that gives the program nothing is diagnosed at start, and left as it is.
        QTEST(check_settings_file().ok(), "usable");
        QCOMPARE(readFileBytes(fileName), content);
        // A file that gives nothing leaves the link with the start values, which can reach a controller.
        QFETCH(bool, usable);
        QFETCH(QString, values);
        QCOMPARE(workerValues(), usable ? values.section('/', 0, 5) : QStringLiteral("/115200/8/0/1/1"));

        // A rewrite keeps every pair that was read, unknown and damaged ones included.
        QVERIFY(store_settings(read_settings_snapshot(), {}).ok());
        QTEST(loadedValues(), "values");
    }

    void rewriteKeepsBytes_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("port"); // what the dialog stores under "COM Port"
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("mode"); // the file's, which the rewrite keeps
        const QString com3 = QStringLiteral("COM3");
        const QByteArray sorted = "BaudRate\r\n115200\r\nCOM Auto\r\ntrue\r\nCOM Log\r\n1\r\nCOM Port\r\nCOM3\r\n"
                                  "Colour\r\nblue\r\nLenght\r\n8 bit\r\nParity\r\nnone\r\nStop Bit\r\n1 bit\r\n";
        QTest::newRow("pairs in key order, CR LF") << defaultBytes + "Colour\nblue\n" << com3 << sorted << 0640;
        QTest::newRow("NUL, lone CR, last line without its end")
            << QByteArray("x\ry\r\n\x01\0z\r\nCOM Port\r\nCOM1", 24) << com3
            << QByteArray("COM Port\r\nCOM3\r\nx\ry\r\n\x01\0z\r\n", 26) << 0604;
        const QByteArray unreadablePort = QByteArray("COM Port\r\n/dev/\xD2\xD2\xDF") + "1\r\n";
        QTest::newRow("port shown as read keeps its bytes")
            << unreadablePort << "/dev/\uFFFD\uFFFD\uFFFD1" << unreadablePort << 0600;
        // Both keys read as U+FFFD; they keep the order of their bytes whichever came first.
        QTest::newRow("keys that read the same")
            << QByteArray("\xFF\r\n1\r\n\xFE\r\n2\r\nCOM Port\r\nCOM1\r\n") << "COM1"
            << QByteArray("COM Port\r\nCOM1\r\n\xFE\r\n2\r\n\xFF\r\n1\r\n") << 0660;
        const QByteArray utf8Mark = "\xEF\xBB\xBF";
        QTest::newRow("UTF-8 with a byte-order mark") << utf8Mark + "Z\r\n\xFF\r\nCOM Port\r\nCOM1\r\n"
                                                      << com3 << utf8Mark + "COM Port\r\nCOM3\r\nZ\r\n\xFF\r\n"
                                                      << 0644;
        for (const char *codec : {"UTF-16LE", "UTF-16BE"})
            QTest::addRow("%s with a byte-order mark", codec)
                << utf16("Заметка\r\nтекст\r\nCOM Port\r\nCOM1\r\n", codec) << com3
                << utf16("COM Port\r\nCOM3\r\nЗаметка\r\nтекст\r\n", codec) << 0606;
        QTest::newRow("last line ends in CR alone") << QByteArray("COM Port\r\nCOM1\r\nZ\r\nlast\r") << com3
                                                    << QByteArray("COM Port\r\nCOM3\r\nZ\r\nlast\r\n") << 0644;
    }

    // "OK" in the settings dialog rewrites the file; a pair it does not change keeps its bytes, and the file its mode.
    void rewriteKeepsBytes() {
        QFETCH(QByteArray, content);
        QFETCH(QString, port);
        QFETCH(int, mode);
        const QString stale = fileName + ".tmp" + QString::number(::getpid()) + "-0"; // left by a crash
        QVERIFY(writeFileBytes(fileName, content) && setMode(fileName, mode_t(mode)) && writeFileBytes(stale, ""));
        ::close(0); // a run whose standard input is closed gets descriptor 0 for its new file, at the second name
        QVERIFY(store_settings(read_settings_snapshot(), {{QStringLiteral("COM Port"), port}}).ok());
        ::open("/dev/null", O_RDONLY);
        QTEST(readFileBytes(fileName), "stored");
        QCOMPARE(QDir().entryList(QDir::Files | QDir::Hidden), QStringList({fileName, stale}));
        struct stat status {};
        QCOMPARE(::stat(QFile::encodeName(fileName).constData(), &status), 0);
        QCOMPARE(int(status.st_mode & 07777), mode);
        QCOMPARE(read_settings_map().value(QStringLiteral("COM Port")), port);
    }

    void fileInTheWay_data() {
        QTest::addColumn<int>("obstacle");
        QTest::addColumn<QString>("atStart"); // why start-up cannot use the file; empty: it can
        QTest::addColumn<QString>("onSave");  // why "OK" in the settings dialog cannot rewrite it
        // Replacing a file that could not be read would lose every pair the dialog does not show.
        const QString kept = QStringLiteral(" — прочитать не удалось, файл оставлен как есть");
        QTest::newRow("directory named settings.ini") << int(Folder) << folderRefused << folderRefused + kept;
        QTest::newRow("FIFO, whose open would wait for a writer") << int(Fifo) << typeRefused << typeRefused + kept;
        QTest::newRow("unreadable file") << int(Unreadable) << denied << denied + kept;
        QTest::newRow("read-only file") << int(ReadOnly) << "" << denied;
        QTest::newRow("read-only folder") << int(ReadOnlyDir) << "" << denied;
        QTest::newRow("read-only folder, no file") << int(NoFileReadOnlyDir) << denied << denied;
        QTest::newRow("content larger than the free space") << int(TooLarge) << "" << full;
        QTest::newRow("link to a file") << int(Link) << "в файле нет ни одной известной настройки" << linkRefused;
        QTest::newRow("link to no file") << int(DeadLink) << linkRefused << linkRefused;
    }

    // Start-up goes on with the values for a missing file, whatever is in the way, and says why. A rewrite that cannot
    // be done completely leaves the old file whole and says why. Whoever can write the working folder may plant links
    // there: nothing is written through them, whatever they point to.
    void fileInTheWay() {
        QFETCH(int, obstacle);
        QFETCH(QString, atStart);
        const bool byModes =
            obstacle == Unreadable || obstacle == ReadOnly || obstacle == ReadOnlyDir || obstacle == NoFileReadOnlyDir;
        const bool linked = obstacle == Link || obstacle == DeadLink;
        if (byModes && !modesApply())
            QSKIP("file modes do not stop this process");
        std::optional<SmallTmpfs> tmpfs;
        if (obstacle == TooLarge && !tmpfs.emplace(m_dir->path(), "256k").isMounted())
            QSKIP("cannot mount a small tmpfs here");
        const QString target = QDir(m_dir->path()).filePath(QStringLiteral("elsewhere/target"));
        if (obstacle == Folder)
            QVERIFY(QDir().mkdir(fileName));
        else if (obstacle == Fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0644), 0);
        else if (linked)
            QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")) &&
                    (obstacle == DeadLink || writeFileBytes(target, foreign)) && makeLink(target, fileName));
        else if (obstacle != NoFileReadOnlyDir)
            QVERIFY(create_default_settings().ok() && setMode(fileName, obstacle == Unreadable ? 0200
                                                                        : obstacle == ReadOnly ? 0444
                                                                                               : 0666));
        QVERIFY(setMode(m_dir->path(), obstacle == ReadOnlyDir || obstacle == NoFileReadOnlyDir ? 0755 : 0777));
        const QByteArray before = QFileInfo(fileName).isFile() ? readFileBytes(fileName) : QByteArray();
        FileResult start, saved;
        QString values, worker;
        {
            const auto access = fileAccessAs(byModes ? nobody : uid_t(-1));
            start = settings_at_start();
            values = loadedValues();
            worker = workerValues();
            const QString note(obstacle == TooLarge ? 4 << 20 : 1, QLatin1Char('n'));
            saved = store_settings(read_settings_snapshot(), {{QStringLiteral("Note"), note}, {"COM Port", "COM3"}});
        }
        const QString path = QDir(m_dir->path()).filePath(fileName);
        QCOMPARE(start.reason, atStart);
        QCOMPARE(start.path, path);
        QCOMPARE(values, atStart.isEmpty() ? QStringLiteral("/115200/8/0/1/1/1") : QStringLiteral("/0/7/3/2/0/0"));
        // The link never runs with the empty values: a file it cannot use leaves it with the start values.
        QCOMPARE(worker, QStringLiteral("/115200/8/0/1/1"));
        QVERIFY(!saved.ok());
        QTEST(saved.reason, "onSave");
        QCOMPARE(saved.path, path);
        QCOMPARE(QFileInfo(fileName).isFile() ? readFileBytes(fileName) : QByteArray(), before);
        // Nothing left behind, such as a half-written replacement.
        QStringList left = QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        left.removeOne(QStringLiteral("elsewhere"));
        QCOMPARE(left, obstacle == NoFileReadOnlyDir ? QStringList() : QStringList{fileName});
        QCOMPARE(QFileInfo(fileName).isSymLink(), linked);
        QCOMPARE(readFileBytes(target), obstacle == Link ? foreign : QByteArray());
        QCOMPARE(QFileInfo::exists(target), obstacle == Link);
    }

    void lockNotTakenThroughALink_data() {
        QTest::addColumn<QByteArray>("runtime"); // XDG_RUNTIME_DIR, "-" for none, "." for the test's folder
        QTest::addColumn<QByteArray>("tmp");     // TMPDIR, likewise
        QTest::newRow("runtime folder") << QByteArray(".") << QByteArray("-");
        QTest::newRow("no runtime folder, TMPDIR") << QByteArray("-") << QByteArray(".");
        QTest::newRow("both empty: /tmp") << QByteArray("") << QByteArray("");
    }

    // In a shared temporary folder anyone may plant a link in the lock's place; the lock never creates its target.
    void lockNotTakenThroughALink() {
        QFETCH(QByteArray, runtime);
        QFETCH(QByteArray, tmp);
        const QString target = QDir(m_dir->path()).filePath(QStringLiteral("target"));
        QVERIFY(makeLink(target, QStringLiteral("ZEVR3GMutex")));
        const QByteArray here = QFile::encodeName(m_dir->path());
        const QByteArray keptRuntime = qgetenv("XDG_RUNTIME_DIR"), keptTmp = qgetenv("TMPDIR");
        const bool hadTmp = qEnvironmentVariableIsSet("TMPDIR");
        const auto restore = qScopeGuard([&] {
            qputenv("XDG_RUNTIME_DIR", keptRuntime);
            hadTmp ? qputenv("TMPDIR", keptTmp) : qunsetenv("TMPDIR");
        });
        for (const auto &[name, value] : {std::pair("XDG_RUNTIME_DIR", runtime), std::pair("TMPDIR", tmp)})
            value == "-" ? qunsetenv(name) : qputenv(name, value == "." ? here : value);
        createInstanceMutex();
        QVERIFY(!QFileInfo::exists(target) && QFileInfo(QStringLiteral("ZEVR3GMutex")).isSymLink());
        if (runtime != "." && tmp != ".") {
            // Held by this process now, so no other may take it whole.
            const int fd = ::open("/tmp/ZEVR3GMutex", O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            QVERIFY(fd >= 0);
            const bool taken = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
            ::close(fd);
            QVERIFY2(!taken, "/tmp/ZEVR3GMutex is not locked");
        }
    }

    // The name is taken once at start, from the date and the minutes: later lines go to the same file, even after
    // midnight. While the folder is gone lines are dropped; once it is back the next line starts the file again.
    void keepsItsFileWhileTheFolderComesAndGoes() {
        QDateTime time(QDate(2026, 2, 6), QTime(23, 5, 7));
        AppLog log(nullptr, [&time] { return time; });
        const QString file = folder + QStringLiteral("/log_06022026_05.log");
        QCOMPARE(log.fileName(), file);
        log.slot_write_to_log_file(QStringLiteral("Устройство не обнаружено"));
        QVERIFY(!(QFile::permissions(file) & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther))); // not a program
        time = time.addSecs(3660);
        log.slot_write_to_log_file(QString());
        QCOMPARE(readFileBytes(file),
                 QStringLiteral("06.02.2026 23:05:07:    Устройство не обнаружено\r\n07.02.2026 00:06:07:    \r\n")
                     .toLocal8Bit());
        QVERIFY(QDir(folder).removeRecursively());
        log.slot_write_to_log_file(QStringLiteral("dropped"));
        QVERIFY(!QFileInfo::exists(folder) && QDir().mkdir(folder));
        ::close(0); // the log's folder gets descriptor 0
        log.slot_write_to_log_file(QStringLiteral("after"));
        ::open("/dev/null", O_RDONLY);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QFileInfo(file).fileName()});
        QCOMPARE(readFileBytes(file), QByteArray("07.02.2026 00:06:07:    after\r\n"));
    }

    void refusesWhatIsNotItsFile_data() {
        QTest::addColumn<int>("obstacle");
        QTest::addColumn<QString>("reason"); // empty: the lines are written
        QTest::newRow("file links to the operator's shell start-up file") << int(Link) << linkRefused;
        QTest::newRow("folder links to another folder") << int(DirLink) << QString();
        QTest::newRow("folder links to a file") << int(DirLinkToFile) << "это не папка";
        QTest::newRow("folder links to nothing")
            << int(DirLinkToNothing) << "это символическая ссылка на папку, которой нет";
        QTest::newRow("file links out of a linked folder") << int(LinkInLinkedDir) << linkRefused;
        QTest::newRow("a folder in place of the file") << int(Folder) << folderRefused;
        QTest::newRow("FIFO in place of the file")
            << int(Fifo) << QStringLiteral("это не обычный файл, а канал (FIFO)");
        QTest::newRow("read-only folder") << int(ReadOnlyDir) << denied;
        QTest::newRow("socket in place of the file") << int(Socket) << QStringLiteral("это не обычный файл, а сокет");
        // The folder is what it should be: the system's reason, not a refusal of what stands there.
        QTest::newRow("folder the user cannot list") << int(ClosedDir) << denied;
        // No owner check: a log that colleagues share stays theirs and ours.
        QTest::newRow("another user's log, writable for all") << int(SharedLog) << QString();
    }

    // Whoever can write the working folder may plant names there; nothing is written through them, the line is dropped
    // and the notice says once that logging has stopped.
    void refusesWhatIsNotItsFile() {
        QFETCH(int, obstacle);
        QFETCH(QString, reason);
        // The reason is the folder's, not the file's.
        const bool atFolder = obstacle == DirLinkToFile || obstacle == DirLinkToNothing || obstacle == ClosedDir;
        const bool asNobody = obstacle == ReadOnlyDir || obstacle == SharedLog || obstacle == ClosedDir;
        const bool linkedFolder = obstacle == DirLink || obstacle == LinkInLinkedDir;
        const QString file = folder + QStringLiteral("/log_06122026_41.log");
        const QString target = QDir(m_dir->path()).filePath(QStringLiteral("elsewhere/target"));
        const QString other = QDir(m_dir->path()).filePath(QStringLiteral("other"));
        QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")) && writeFileBytes(target, foreign));
        QVERIFY(obstacle == DirLinkToFile      ? makeLink(target, folder)
                : obstacle == DirLinkToNothing ? makeLink(other, folder)
                                               : QDir().mkdir(linkedFolder ? "other" : folder));
        if (linkedFolder)
            QVERIFY(makeLink(other, folder));
        if (obstacle == Link || obstacle == LinkInLinkedDir)
            QVERIFY(makeLink(target, file));
        if (obstacle == Fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0666), 0);
        if (obstacle == Folder)
            QVERIFY(QDir().mkdir(file));
        if (obstacle == SharedLog)
            QVERIFY(writeFileBytes(file, "") && ::chown(QFile::encodeName(file).constData(), nobody, nobody) == 0 &&
                    setMode(file, 0666));
        if (obstacle == Socket)
            QVERIFY(bindSocket(file));
        QVERIFY(setMode(m_dir->path(), 0777) && (atFolder && obstacle != ClosedDir) ||
                setMode(folder, obstacle == ClosedDir ? 0333 : 0755));
        if ((obstacle == ReadOnlyDir || obstacle == ClosedDir) && !modesApply())
            QSKIP("file modes do not stop this process from writing");
        AppLog log(nullptr, [] { return QDateTime(QDate(2026, 12, 6), QTime(1, 41)); });
        QSignalSpy notices(&log, &AppLog::signal_notice);
        {
            const auto access = fileAccessAs(asNobody ? nobody : uid_t(-1));
            log.slot_write_to_log_file(QStringLiteral("$(command)  не открыт"));
            log.slot_write_to_log_file(QStringLiteral("second"));
        }
        QVERIFY(obstacle != ClosedDir || setMode(folder, 0755));
        QCOMPARE(readFileBytes(target), foreign);
        if (!linkedFolder)
            QCOMPARE(QDir(QStringLiteral("other")).entryList(QDir::Files), QStringList());
        const QString path = QDir(m_dir->path()).filePath(atFolder ? folder : file);
        QCOMPARE(QList<QVariantList>(notices),
                 (reason.isEmpty() ? QList<QVariantList>() : QList<QVariantList>{{stopped, path + ": " + reason}}));
        // Through a linked folder the lines land in the folder it points to.
        if (reason.isEmpty())
            QCOMPARE(readFileBytes(obstacle == DirLink ? QStringLiteral("other/log_06122026_41.log") : file),
                     QByteArray("06.12.2026 01:41:00:    $(command)  не открыт\r\n"
                                "06.12.2026 01:41:00:    second\r\n"));
    }

    // A full disk drops lines but never tears one: the file holds whole lines only, in order, and once there is room
    // again the next line goes in and the notice is withdrawn.
    void fullDiskKeepsLinesWhole() {
        SmallTmpfs tmpfs(m_dir->path(), "16k");
        if (!tmpfs.isMounted())
            QSKIP("cannot mount a small tmpfs here");
        QVERIFY(writeFileBytes(QStringLiteral("filler"), QByteArray(8 * 1024, 'x')));
        AppLog log(nullptr, [] { return QDateTime(QDate(2026, 12, 6), QTime(21, 13, 12)); });
        QSignalSpy notices(&log, &AppLog::signal_notice);
        QSignalSpy withdrawn(&log, &AppLog::signal_notice_withdrawn);
        const int messages = 400; // far more than the space holds
        for (int i = 0; i < messages; ++i)
            log.slot_write_to_log_file(QStringLiteral("/dev/ttyS9  не открыт %1").arg(i));
        const QList<int> kept = wholeLines(readFileBytes(log.fileName()));
        QVERIFY(!kept.isEmpty() && kept.size() < messages && !kept.contains(-1));
        QVERIFY(std::is_sorted(kept.begin(), kept.end()));
        const QString details = QDir(m_dir->path()).filePath(log.fileName()) + ": " + full;
        QCOMPARE(QList<QVariantList>(notices), (QList<QVariantList>{{stopped, details}}));
        QVERIFY(QFile::remove(QStringLiteral("filler")));
        log.slot_write_to_log_file(QStringLiteral("/dev/ttyS9  не открыт %1").arg(messages));
        QCOMPARE(QList<QVariantList>(withdrawn), QList<QVariantList>{{stopped}});
        QCOMPARE(wholeLines(readFileBytes(log.fileName())), kept + QList<int>{messages});
    }

    void appendWaitsForABriefLock_data() {
        QTest::addColumn<int>("heldMs");
        QTest::addColumn<QByteArray>("kept"); // what the file holds afterwards
        QTest::newRow("held for one write") << 1 << QByteArray("{}\n");
        QTest::newRow("held on and on") << 400 << QByteArray();
    }

    // Another writer of the same file holds its lock for one write, so an append waits that long; one that holds it
    // on costs the line, with the reason, and never keeps the caller waiting.
    void appendWaitsForABriefLock() {
        QFETCH(int, heldMs);
        QFETCH(QByteArray, kept);
        QVERIFY(writeFileBytes(QStringLiteral("units.jsonl"), QByteArray()));
        const int other = ::open("units.jsonl", O_WRONLY | O_APPEND | O_CLOEXEC);
        QVERIFY(other >= 0 && ::flock(other, LOCK_EX) == 0);
        std::thread holder([other, heldMs] {
            ::usleep(useconds_t(heldMs) * 1000);
            ::close(other);
        });
        QElapsedTimer waited;
        waited.start();
        const FileResult written = SafeFile::appendLine(QStringLiteral("units.jsonl"), "{}\n");
        const qint64 elapsed = waited.elapsed();
        holder.join();
        QCOMPARE(readFileBytes(QStringLiteral("units.jsonl")), kept);
        QCOMPARE(written.reason, kept.isEmpty() ? QStringLiteral("файл занят другой программой") : QString());
        QVERIFY2(elapsed < 300, qPrintable(QString::number(elapsed)));
    }

    // A file that tells no size, as under /proc, is read to its end; the descriptor is closed again, since the window
    // opens profile after profile over a day. An earlier call may have left EINTR in errno: a read that then goes
    // through is not taken for an interrupted one, which would drop what it read and wait at the file's end for ever.
    void readsAFileThatTellsNoSize() {
        const auto descriptors = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System).size(); };
        const int before = descriptors();
        QByteArray content;
        errno = EINTR;
        QVERIFY(SafeFile::readRegular(QStringLiteral("/proc/self/status"), 1 << 20, &content).ok());
        QCOMPARE(descriptors(), before);
        QVERIFY2(content.startsWith("Name:") && content.contains("\nnonvoluntary_ctxt_switches:"), content.constData());
    }

    // A device named as a file to append to is refused unopened: opening a serial port alone raises its control lines.
    void deviceRefusedUnopened() {
        PtyPair port;
        const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0 && inotify_add_watch(watch, QFile::encodeName(port.path()).constData(), IN_OPEN) >= 0);
        const FileResult refused = SafeFile::checkAppendable(port.path());
        alignas(inotify_event) char events[1024];
        const ssize_t opened = ::read(watch, events, sizeof events);
        ::close(watch);
        QCOMPARE(refused.reason, QStringLiteral("это не обычный файл, а устройство"));
        QCOMPARE(opened, ssize_t(-1));
    }

    void systemReasonsInRussian_data() {
        QTest::addColumn<QString>("system");
        QTest::addColumn<QString>("words"); // for the status bar
        QTest::addColumn<bool>("original"); // whether the history, the tooltips and the sender add the system's words
        const auto row = [](const char *name, const char *system, const char *words, bool original) {
            QTest::newRow(name) << QString(system) << QString(words) << original;
        };
        row("hang-up, glibc", "Inappropriate ioctl for device",
            "устройство не принимает настройки линии: линия оборвана или это не порт", true);
        row("Qt's own, as Qt writes it", "Permission denied", "нет прав доступа", true);
        row("the first errno", "Operation not permitted", "операция не разрешена", true);
        row("a device's text when it has none of its own", "Unknown error", "неизвестная ошибка", true);
        row("serial library", "Permission error while locking the device", "порт заблокирован другой программой", true);
        row("English Windows, full stop and blanks", " Access is denied.\r\n",
            "нет доступа: порт занят другой программой или нет прав", true);
        row("already Russian", "Отказано в доступе", "Отказано в доступе", false);
        row("unknown English", "Frobnication failed", "ошибка системы: Frobnication failed", false);
        row("empty", "", "", false);
    }

    void systemReasonsInRussian() {
        QFETCH(QString, system);
        QFETCH(QString, words);
        QFETCH(bool, original);
        const QString withOriginal = original ? words + " (" + system.trimmed() + ")" : words;
        QCOMPARE(SystemReason::russian(system), words);
        QCOMPARE(SystemReason::withOriginal(system), withOriginal);
        // Whichever way a file's failure is told, its reason is in Russian.
        QCOMPARE(FileResult::failure(QStringLiteral("x"), system).reason, withOriginal);
    }

    // Every text of the serial library's sources, as built into the Windows program, has Russian words: a text that
    // the table misses reaches the operator in English.
    void everySerialLibraryTextInRussian() {
        QStringList texts, english;
        const QRegularExpression translated(QStringLiteral("\\btr\\(\"([^\"]+)\"\\)"));
        for (auto match = translated.globalMatch(serialLibrarySource("*/src/serialport/*.cpp")); match.hasNext();) {
            texts << match.next().captured(1);
            if (SystemReason::russian(texts.last()).contains(texts.last()))
                english << texts.last();
        }
        QVERIFY2(texts.size() >= 16, qPrintable(texts.join('\n')));
        QCOMPARE(english, QStringList());
    }

private:
    std::optional<ScopedWorkDir> m_dir; // each case starts in a fresh working folder
};

QTEST_GUILESS_MAIN(tst_workfiles)
#include "tst_workfiles.moc"
