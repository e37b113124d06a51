#include "app/settingsfile.h"
#include "support/settingstestsupport.h"

#include <QFileSystemWatcher>
#include <QProcess>
#include <QtTest>

#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>

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

bool setMode(const QString &path, mode_t mode) { return ::chmod(QFile::encodeName(path).constData(), mode) == 0; }

QStringList entries() {
    return QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// The tests run as root, for whom file modes stop nothing; as "nobody" they apply again. An id of -1 changes nothing.
const uid_t nobody = 65534;

auto fileAccessAs(uid_t id) {
    const int gid = setfsgid(id);
    const int uid = setfsuid(id);
    return qScopeGuard([=] {
        setfsuid(uid);
        setfsgid(gid);
    });
}

} // namespace

class tst_settingsfile : public QObject {
    Q_OBJECT

private slots:
    void firstStart();
    void values_data();
    void values();
    void rewriteOrder();
    void unusableFile_data();
    void unusableFile();
    void rewriteFails_data();
    void rewriteFails();
};

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
}

void tst_settingsfile::values_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("values");

    const QString keysValues = QStringLiteral("COM7/9600/7/2/2/0/1");
    const QString otherText = QStringLiteral("/0/7/3/2/0/0");
    QTest::newRow("every key") << allKeys << keysValues;
    QTest::newRow("LF-only lines") << QByteArray(allKeys).replace("\r\n", "\n") << keysValues;
    QTest::newRow("no final line end") << allKeys.chopped(2) << keysValues;
    QTest::newRow("Even with a capital E") << QByteArray("Parity\r\nEven\r\n") << otherText;
    QTest::newRow("COM Port key with a trailing space") << QByteArray("COM Port \r\nCOM3\r\n") << otherText;
    QTest::newRow("last duplicate wins") << QByteArray("BaudRate\r\n2400\r\nBaudRate\r\n38400\r\n")
                                         << "/38400/7/3/2/0/0";
    QTest::newRow("blank line shifts the pairs")
        << QByteArray("COM Log\r\n1\r\n\r\nBaudRate\r\n9600\r\n") << "/0/7/3/2/0/1";
    QTest::newRow("unknown pair") << QByteArray("Colour\r\nblue\r\nCOM Log\r\n1\r\n") << "/0/7/3/2/0/1";
    QTest::newRow("binary junk") << junk() << otherText;
    QTest::newRow("invalid UTF-8") << QByteArray("COM Port\r\n" + invalidUtf8 + "\r\nCOM Log\r\n1\r\n")
                                   << QString::fromLocal8Bit(invalidUtf8) + "/0/7/3/2/0/1";
    QTest::newRow("large file") << manyPairs(largeFileSize) << "/0/7/2/2/0/1";
}

void tst_settingsfile::values() {
    QFETCH(QByteArray, content);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, content));
    QTEST(loadedValues(), "values");

    // A rewrite keeps every pair that was read, unknown and damaged ones included.
    const SettingsMap map = read_settings_map();
    QVERIFY(write_settings_map(map));
    QCOMPARE(read_settings_map(), map);
}

void tst_settingsfile::rewriteOrder() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, defaultBytes + "Colour\nblue\n"));
    SettingsMap map = read_settings_map();
    map.insert(QStringLiteral("COM Port"), QStringLiteral("COM3"));
    QVERIFY(write_settings_map(map));
    QCOMPARE(readFileBytes(fileName),
             QByteArray("BaudRate\r\n115200\r\nCOM Auto\r\ntrue\r\nCOM Log\r\n1\r\nCOM Port\r\nCOM3\r\n"
                        "Colour\r\nblue\r\nLenght\r\n8 bit\r\nParity\r\nnone\r\nStop Bit\r\n1 bit\r\n"));
}

enum Kind { Directory, Fifo, Unreadable, NoFile };

void tst_settingsfile::unusableFile_data() {
    QTest::addColumn<int>("kind");
    QTest::newRow("directory named settings.ini") << int(Directory);
    QTest::newRow("FIFO, whose open would wait for a writer") << int(Fifo);
    QTest::newRow("unreadable file") << int(Unreadable);
    QTest::newRow("unwritable working directory, no file") << int(NoFile);
}

// Start-up goes on quietly with the values for a missing file, whatever is in the way.
void tst_settingsfile::unusableFile() {
    QFETCH(int, kind);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid() && setMode(dir.path(), 0755));
    if (kind == Directory) {
        QVERIFY(QDir().mkdir(fileName));
        QVERIFY(!write_settings_map({{QStringLiteral("COM Log"), QStringLiteral("1")}}));
    } else if (kind == Fifo) {
        QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0644), 0);
    } else if (kind == Unreadable) {
        QVERIFY(writeFileBytes(fileName, defaultBytes) && setMode(fileName, 0600));
    }
    const auto access = fileAccessAs(nobody);
    if (QFile(QStringLiteral("probe")).open(QIODevice::WriteOnly))
        QSKIP("file modes do not apply to this process");
    if (!settings_file.exists())
        create_default_settings();
    QCOMPARE(loadedValues(), QStringLiteral("/0/7/3/2/0/0"));
    QCOMPARE(entries(), kind == NoFile ? QStringList() : QStringList{fileName});
    QCOMPARE(QFileInfo(fileName).isDir(), kind == Directory);
}

enum Cause { ReadOnlyDirectory, TooLargeForTheSpace, NoSpaceLeft };

void tst_settingsfile::rewriteFails_data() {
    QTest::addColumn<int>("cause");
    QTest::newRow("read-only directory") << int(ReadOnlyDirectory);
    QTest::newRow("content larger than the free space") << int(TooLargeForTheSpace);
    QTest::newRow("no space left, so only the closing flush fails") << int(NoSpaceLeft);
}

// The old file stays whole when its replacement cannot be written completely.
void tst_settingsfile::rewriteFails() {
    QFETCH(int, cause);
    const bool tmpfs = cause != ReadOnlyDirectory;
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    const QByteArray path = QFile::encodeName(dir.path());
    if (tmpfs && ::mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, "size=256k") != 0)
        QSKIP("cannot mount a small tmpfs here");
    const auto unmount = qScopeGuard([&] {
        if (tmpfs)
            ::umount2(path.constData(), MNT_DETACH);
    });
    QVERIFY(QDir::setCurrent(dir.path())); // into the tmpfs that may now cover the directory
    create_default_settings();
    QVERIFY(setMode(fileName, 0666) && setMode(dir.path(), 0755));
    if (cause == NoSpaceLeft)
        writeFileBytes(QStringLiteral("filler"), QByteArray(1 << 20, 'x')); // stops where the space runs out

    const auto access = fileAccessAs(tmpfs ? uid_t(-1) : nobody);
    if (!tmpfs && QFile(QStringLiteral("probe")).open(QIODevice::WriteOnly))
        QSKIP("directory modes do not stop this process from writing");
    SettingsMap map = read_settings_map();
    map.insert(QStringLiteral("Note"), QString(cause == TooLargeForTheSpace ? 4 << 20 : 1, QLatin1Char('n')));
    QVERIFY(!write_settings_map(map));
    QCOMPARE(readFileBytes(fileName), defaultBytes);
    QCOMPARE(entries().filter(fileName), QStringList{fileName});
}

QTEST_GUILESS_MAIN(tst_settingsfile)
#include "tst_settingsfile.moc"
