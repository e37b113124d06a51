#include "app/instancemutex.h"
#include "app/settingsfile.h"
#include "support/settingstestsupport.h"

#include <QFileSystemWatcher>
#include <QProcess>
#include <QTextCodec>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <optional>

namespace {

const QString fileName = QStringLiteral("settings.ini");
const QByteArray defaultBytes = "COM Log\r\n1\r\nCOM Port\r\n\r\nBaudRate\r\n115200\r\nParity\r\nnone\r\n"
                                "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\ntrue\r\n";
const QByteArray allKeys = "COM Port\r\nCOM7\r\nBaudRate\r\n9600\r\nLenght\r\n7 bit\r\nParity\r\neven\r\n"
                           "Stop Bit\r\n2 bit\r\nCOM Auto\r\nfalse\r\nCOM Log\r\n1\r\n";
const QByteArray invalidUtf8("\xC3\x28\xFF\xFE\xED\xA0\x80\xF8\x88\x80\x80\x80", 12);

// Every allocation costs far more under the sanitizers. A reader quadratic in the size would still run into the
// test's time limit.
#ifdef __SANITIZE_ADDRESS__
const int largeFileSize = 8 << 20;
#else
const int largeFileSize = 50 << 20;
#endif

// Every byte value in a scattered order, starting without a byte-order mark that would switch the decoder.
QByteArray junk() {
    QByteArray bytes("x");
    for (int i = 0; i < 64 * 1024; ++i)
        bytes += char(i * 7919 >> 3);
    return bytes;
}

QByteArray manyPairs(int size) {
    QByteArray bytes;
    bytes.reserve(size + 64);
    while (bytes.size() < size)
        bytes += "COM Log\r\n0\r\nParity\r\neven\r\n";
    return bytes + "COM Log\r\n1\r\n";
}

// What start-up and the worker take from the file: port/baud/lenght/parity/stopbit/auto/com_log.
QString loadedValues() {
    const ConnectionValues v = connectionValuesFromMap(read_settings_map());
    com_log = 0;
    load_com_log();
    return v.com_port +
           QString::asprintf("/%d/%d/%d/%d/%d/%d", v.baud, v.lenght, v.parity, v.stopbit, v.com_auto, com_log);
}

QStringList entries() {
    return QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// What "OK" in the settings dialog does to the file: the port changed, every other pair as the file has it.
FileResult storePort(const QString &port) {
    return store_settings(read_settings_snapshot(), {{QStringLiteral("COM Port"), port}});
}

// A file as Notepad saves "Unicode": UTF-16, little-endian, with a byte-order mark.
QByteArray utf16(const QString &text) {
    QByteArray bytes("\xFF\xFE");
    for (const QChar c : text)
        bytes += char(c.unicode() & 0xFF) + QByteArray(1, char(c.unicode() >> 8));
    return bytes;
}

} // namespace

class tst_settingsfile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void firstStart();
    void values_data();
    void values();
    void rewriteOrder();
    void rewriteKeepsBytes_data();
    void rewriteKeepsBytes();
    void unusableFile_data();
    void unusableFile();
    void rewriteFails_data();
    void rewriteFails();
    void noWriteThroughLinks_data();
    void noWriteThroughLinks();
};

// Linux workstations read the file as UTF-8, so bytes from a Windows-era file are what it cannot read.
void tst_settingsfile::initTestCase() { QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8")); }

void tst_settingsfile::firstStart() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QFileSystemWatcher watcher{QStringList{dir.path()}};
    QSignalSpy changed(&watcher, &QFileSystemWatcher::directoryChanged);
    QProcess program;
    program.setWorkingDirectory(dir.path());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(ZEVR_PROGRAM_PATH), QStringList());
    QVERIFY(program.waitForStarted());

    // The file is put in place by a rename, so once it is there it is whole.
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(fileName) && program.state() == QProcess::Running && timer.elapsed() < 60000)
        changed.wait(1000);
    const bool running = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished();
    QVERIFY(running);
    QCOMPARE(readFileBytes(fileName), defaultBytes);
    QCOMPARE(loadedValues(), QStringLiteral("/115200/8/0/1/1/1"));
    QVERIFY(check_settings_file().ok());
}

void tst_settingsfile::values_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("values");
    QTest::addColumn<bool>("usable"); // holds a key the program knows

    const QString keysValues = QStringLiteral("COM7/9600/7/2/2/0/1");
    const QString otherText = QStringLiteral("/0/7/3/2/0/0");
    QTest::newRow("every key") << allKeys << keysValues << true;
    QTest::newRow("LF-only lines") << QByteArray(allKeys).replace("\r\n", "\n") << keysValues << true;
    QTest::newRow("no final line end") << allKeys.chopped(2) << keysValues << true;
    QTest::newRow("Even with a capital E") << QByteArray("Parity\r\nEven\r\n") << otherText << true;
    QTest::newRow("COM Port key with a trailing space") << QByteArray("COM Port \r\nCOM3\r\n") << otherText << false;
    QTest::newRow("last duplicate wins") << QByteArray("BaudRate\r\n2400\r\nBaudRate\r\n38400\r\n")
                                         << "/38400/7/3/2/0/0" << true;
    QTest::newRow("blank line shifts the pairs")
        << QByteArray("COM Log\r\n1\r\n\r\nBaudRate\r\n9600\r\n") << "/0/7/3/2/0/1" << true;
    QTest::newRow("unknown pair") << QByteArray("Colour\r\nblue\r\nCOM Log\r\n1\r\n") << "/0/7/3/2/0/1" << true;
    QTest::newRow("binary junk") << junk() << otherText << false;
    QTest::newRow("empty file") << QByteArray() << otherText << false;
    QTest::newRow("invalid UTF-8") << QByteArray("COM Port\r\n" + invalidUtf8 + "\r\nCOM Log\r\n1\r\n")
                                   << QString::fromLocal8Bit(invalidUtf8) + "/0/7/3/2/0/1" << true;
    QTest::newRow("large file") << manyPairs(largeFileSize) << "/0/7/2/2/0/1" << true;
}

void tst_settingsfile::values() {
    QFETCH(QByteArray, content);
    QFETCH(bool, usable);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, content));
    QTEST(loadedValues(), "values");
    // A file that gives the program nothing is diagnosed at start, and left as it is.
    const FileResult check = check_settings_file();
    QCOMPARE(check.ok(), usable);
    QCOMPARE(check.path, QDir(dir.path()).filePath(fileName));
    QCOMPARE(readFileBytes(fileName), content);

    // A rewrite keeps every pair that was read, unknown and damaged ones included.
    QVERIFY(store_settings(read_settings_snapshot(), {}).ok());
    QTEST(loadedValues(), "values");
}

void tst_settingsfile::rewriteOrder() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, defaultBytes + "Colour\nblue\n"));
    QVERIFY(storePort(QStringLiteral("COM3")).ok());
    QCOMPARE(readFileBytes(fileName),
             QByteArray("BaudRate\r\n115200\r\nCOM Auto\r\ntrue\r\nCOM Log\r\n1\r\nCOM Port\r\nCOM3\r\n"
                        "Colour\r\nblue\r\nLenght\r\n8 bit\r\nParity\r\nnone\r\nStop Bit\r\n1 bit\r\n"));
}

void tst_settingsfile::rewriteKeepsBytes_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("port"); // what the dialog stores under "COM Port"
    QTest::addColumn<QByteArray>("stored");

    const QByteArray note = "\xCF\xF0\xE8\xEC\xE5\xF7\xE0\xED\xE8\xE5\r\n\xD8\xEA\xE0\xF4 2\r\n"; // CP1251
    QTest::newRow("CP1251 comment pair") << "COM Port\r\nCOM1\r\n" + note << "COM3"
                                         << "COM Port\r\nCOM3\r\n" + note;
    QTest::newRow("NUL, lone CR, last line without its end")
        << QByteArray("x\ry\r\n\x01\0z\r\nCOM Port\r\nCOM1", 24) << "COM3"
        << QByteArray("COM Port\r\nCOM3\r\nx\ry\r\n\x01\0z\r\n", 26);
    QTest::newRow("port shown as read keeps its bytes") << QByteArray("COM Port\r\n/dev/\xD2\xD2\xDF"
                                                                      "1\r\n")
                                                        << "/dev/\uFFFD\uFFFD\uFFFD1"
                                                        << QByteArray("COM Port\r\n/dev/\xD2\xD2\xDF"
                                                                      "1\r\n");
    // Both keys read as U+FFFD; they keep the order of their bytes whichever came first.
    QTest::newRow("keys that read the same") << QByteArray("\xFF\r\n1\r\n\xFE\r\n2\r\nCOM Port\r\nCOM1\r\n") << "COM1"
                                             << QByteArray("COM Port\r\nCOM1\r\n\xFE\r\n2\r\n\xFF\r\n1\r\n");
    QTest::newRow("UTF-8 with a byte-order mark")
        << QByteArray("\xEF\xBB\xBFZ\r\n\xFF\r\nCOM Port\r\nCOM1\r\n") << "COM3"
        << QByteArray("\xEF\xBB\xBF"
                      "COM Port\r\nCOM3\r\nZ\r\n\xFF\r\n");
    QTest::newRow("UTF-16 with a byte-order mark") << utf16("Заметка\r\nтекст\r\nCOM Port\r\nCOM1\r\n") << "COM3"
                                                   << utf16("COM Port\r\nCOM3\r\nЗаметка\r\nтекст\r\n");
}

// "OK" in the settings dialog rewrites the file; a pair it does not change keeps its bytes.
void tst_settingsfile::rewriteKeepsBytes() {
    QFETCH(QByteArray, content);
    QFETCH(QString, port);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, content));
    QVERIFY(storePort(port).ok());
    QTEST(readFileBytes(fileName), "stored");
    QCOMPARE(read_settings_map().value(QStringLiteral("COM Port")), port);
}

enum Kind { Directory, Fifo, Unreadable, NoFile };

void tst_settingsfile::unusableFile_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("directory named settings.ini") << int(Directory);
    QTest::newRow("FIFO, whose open would wait for a writer") << int(Fifo);
    QTest::newRow("unreadable file") << int(Unreadable);
    QTest::newRow("unwritable working directory, no file") << int(NoFile);
}

// Start-up goes on with the values for a missing file, whatever is in the way, says why and touches nothing.
void tst_settingsfile::unusableFile() {
    QFETCH(int, kind);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid() && setMode(dir.path(), 0755));
    if (kind == Directory) {
        QVERIFY(QDir().mkdir(fileName));
    } else if (kind == Fifo) {
        QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0644), 0);
    } else if (kind == Unreadable) {
        QVERIFY(writeFileBytes(fileName, defaultBytes) && setMode(fileName, 0600));
    }
    const auto access = fileAccessAs(nobody);
    if (QFile(QStringLiteral("probe")).open(QIODevice::WriteOnly))
        QSKIP("file modes do not apply to this process");
    FileResult start = settings_file.exists() ? FileResult() : create_default_settings();
    if (start.ok())
        start = check_settings_file();
    QCOMPARE(loadedValues(), QStringLiteral("/0/7/3/2/0/0"));
    QCOMPARE(entries(), kind == NoFile ? QStringList() : QStringList{fileName});
    QCOMPARE(QFileInfo(fileName).isDir(), kind == Directory);
    QVERIFY(!start.ok());
    QCOMPARE(start.path, QDir(dir.path()).filePath(fileName));
    if (kind == Unreadable || kind == NoFile)
        QCOMPARE(start.reason, QString::fromLocal8Bit(strerror(EACCES)));
}

enum Cause { ReadOnlyDirectory, TooLargeForTheSpace, NoSpaceLeft, ReadOnlyFile, UnreadableFile, DirectoryInPlace };

void tst_settingsfile::rewriteFails_data() {
    QTest::addColumn<int>("cause");
    QTest::addColumn<QString>("reason");
    const QString denied = QString::fromLocal8Bit(strerror(EACCES));
    const QString full = QString::fromLocal8Bit(strerror(ENOSPC));
    QTest::newRow("read-only directory") << int(ReadOnlyDirectory) << denied;
    QTest::newRow("content larger than the free space") << int(TooLargeForTheSpace) << full;
    QTest::newRow("no space left at all") << int(NoSpaceLeft) << full;
    QTest::newRow("read-only file") << int(ReadOnlyFile) << denied;
    // Replacing it would lose every pair the dialog does not show.
    const QString kept = QStringLiteral(" — прочитать не удалось, файл оставлен как есть");
    QTest::newRow("file that cannot be read") << int(UnreadableFile) << denied + kept;
    QTest::newRow("directory in its place") << int(DirectoryInPlace) << "это папка, а не файл" + kept;
}

// The old file stays whole when its replacement cannot be written completely, and the reason is given.
void tst_settingsfile::rewriteFails() {
    QFETCH(int, cause);
    const bool full = cause == TooLargeForTheSpace || cause == NoSpaceLeft;
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    std::optional<SmallTmpfs> tmpfs;
    if (full && !tmpfs.emplace(dir.path(), "256k").isMounted())
        QSKIP("cannot mount a small tmpfs here");
    QVERIFY(create_default_settings().ok());
    QVERIFY(setMode(fileName, 0666) && setMode(dir.path(), cause == ReadOnlyDirectory ? 0755 : 0777));
    if (cause == NoSpaceLeft)
        writeFileBytes(QStringLiteral("filler"), QByteArray(1 << 20, 'x')); // stops where the space runs out
    if (cause == ReadOnlyFile || cause == UnreadableFile)
        QVERIFY(setMode(fileName, cause == ReadOnlyFile ? 0444 : 0200));
    const QByteArray before = cause == DirectoryInPlace ? QByteArray() : defaultBytes;
    if (cause == DirectoryInPlace)
        QVERIFY(QFile::remove(fileName) && QDir().mkdir(fileName));

    if (!full && cause != DirectoryInPlace && !modesApply())
        QSKIP("file modes do not stop this process from writing");
    const QString note(cause == TooLargeForTheSpace ? 4 << 20 : 1, QLatin1Char('n'));
    FileResult result;
    {
        const auto access = fileAccessAs(full || cause == DirectoryInPlace ? uid_t(-1) : nobody);
        result = store_settings(read_settings_snapshot(), {{QStringLiteral("Note"), note}, {"COM Port", "COM3"}});
    }
    QVERIFY(!result.ok());
    QTEST(result.reason, "reason");
    QCOMPARE(result.path, QDir(dir.path()).filePath(fileName));
    QCOMPARE(readFileBytes(fileName), before);
    QCOMPARE(entries().filter(fileName), QStringList{fileName});
}

enum Planted { SettingsToFile, SettingsDangling, LockDangling };

void tst_settingsfile::noWriteThroughLinks_data() {
    QTest::addColumn<int>("planted");
    QTest::newRow("settings.ini links to a file, dialog saves") << int(SettingsToFile);
    QTest::newRow("settings.ini links to no file, start creates the defaults") << int(SettingsDangling);
    QTest::newRow("instance lock in the temporary folder links to no file") << int(LockDangling);
}

// Whoever can write the working folder or the temporary one may plant links there; the program writes through
// none of them, whatever they point to.
void tst_settingsfile::noWriteThroughLinks() {
    QFETCH(int, planted);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    const QString target = QDir(dir.path()).filePath(QStringLiteral("elsewhere/target"));
    QVERIFY(QDir().mkdir(QStringLiteral("elsewhere")));
    const QByteArray original = "root:x:0:0:root:/root:/bin/bash\n";
    if (planted == SettingsToFile)
        QVERIFY(writeFileBytes(target, original));
    const QString link = planted == LockDangling ? QStringLiteral("ZEVR3GMutex") : fileName;
    QVERIFY(makeLink(target, link));

    if (planted == LockDangling) {
        const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray tmp = qgetenv("TMPDIR");
        qunsetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        createInstanceMutex();
        qputenv("XDG_RUNTIME_DIR", runtime);
        qputenv("TMPDIR", tmp);
    } else {
        const FileResult result =
            planted == SettingsToFile ? storePort(QStringLiteral("COM3")) : create_default_settings();
        QVERIFY(!result.ok());
        QCOMPARE(result.reason, QStringLiteral("это символическая ссылка, программа не пишет через ссылки"));
    }
    QCOMPARE(readFileBytes(target), planted == SettingsToFile ? original : QByteArray());
    QCOMPARE(QFileInfo::exists(target), planted == SettingsToFile);
    QVERIFY(QFileInfo(link).isSymLink());
}

QTEST_GUILESS_MAIN(tst_settingsfile)
#include "tst_settingsfile.moc"
