#include "app/settingsfile.h"
#include "support/settingstestsupport.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString fileName = QStringLiteral("settings.ini");
const QByteArray defaultBytes = "COM Log\r\n1\r\nCOM Port\r\n\r\nBaudRate\r\n115200\r\nParity\r\nnone\r\n"
                                "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\ntrue\r\n";

// Under the sanitizers every allocation costs many times more, so that build reads a smaller file; a reader that
// is quadratic in the size would still take far longer than the limit.
#ifdef __SANITIZE_ADDRESS__
const int largeFileSize = 8 * 1024 * 1024;
#else
const int largeFileSize = 50 * 1024 * 1024;
#endif

QStringList messages;

void collectMessage(QtMsgType, const QMessageLogContext &, const QString &text) { messages << text; }

QByteArray junk(int size) {
    QRandomGenerator generator(20260612);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    bytes[0] = 'x'; // no byte-order mark, which would switch the decoder
    return bytes;
}

// Values for a map without any of the known keys: every conversion takes its branch for any other text.
void verifyOtherTextValues(const ConnectionValues &values) {
    QCOMPARE(values.com_port, QString());
    QCOMPARE(values.baud, 0);
    QCOMPARE(int(values.lenght), 7);
    QCOMPARE(int(values.parity), 3);
    QCOMPARE(int(values.stopbit), 2);
    QCOMPARE(values.com_auto, false);
}

QStringList entries() {
    return QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

class CurrentDir {
public:
    explicit CurrentDir(const QString &path) : m_previous(QDir::currentPath()) { m_valid = QDir::setCurrent(path); }
    ~CurrentDir() { QDir::setCurrent(m_previous); }
    bool isValid() const { return m_valid; }

private:
    QString m_previous;
    bool m_valid = false;
};

} // namespace

class tst_settingsbadinput : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void badContent_data();
    void badContent();
    void largeFile_data();
    void largeFile();
    void directoryNamedSettings();
    void fifoNamedSettings();
    void unreadableFile();
    void unwritableWorkingDirectory();
    void fullFileSystem_data();
    void fullFileSystem();
};

void tst_settingsbadinput::init() {
    messages.clear();
    qInstallMessageHandler(collectMessage);
}

// Bad input is handled quietly: nothing may even reach the message log.
void tst_settingsbadinput::cleanup() {
    qInstallMessageHandler(nullptr);
    QVERIFY2(messages.isEmpty(), qPrintable(messages.join(QLatin1Char('\n'))));
}

void tst_settingsbadinput::badContent_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("parity");
    QTest::addColumn<bool>("comAuto");
    QTest::addColumn<int>("comLog");

    const QByteArray invalidUtf8("\xC3\x28\xFF\xFE\xED\xA0\x80\xF8\x88\x80\x80\x80", 12);
    QTest::newRow("binary junk") << junk(64 * 1024) << "" << 3 << false << 0;
    QTest::newRow("invalid UTF-8 value") << QByteArray("COM Port\r\n" + invalidUtf8 +
                                                       "\r\nParity\r\neven\r\n"
                                                       "COM Log\r\n1\r\n")
                                         << QString::fromLocal8Bit(invalidUtf8) << 2 << false << 1;
    QTest::newRow("invalid UTF-8 key") << QByteArray(invalidUtf8 + "\r\nCOM3\r\nCOM Auto\r\ntrue\r\n") << "" << 3
                                       << true << 0;
    QTest::newRow("NUL bytes") << QByteArray("COM Log\r\n1\0\r\nParity\r\nnone\0\r\n", 26) << "" << 3 << false << 0;
}

void tst_settingsbadinput::badContent() {
    QFETCH(QByteArray, content);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, content));

    const SettingsMap map = read_settings_map();
    const ConnectionValues values = connectionValuesFromMap(map);
    QTEST(values.com_port, "port");
    QTEST(int(values.parity), "parity");
    QTEST(values.com_auto, "comAuto");
    com_log = 0;
    load_com_log();
    QTEST(int(com_log), "comLog");

    // A rewrite keeps every pair that was read, unknown ones included.
    QVERIFY(write_settings_map(map));
    QCOMPARE(read_settings_map(), map);
}

void tst_settingsbadinput::largeFile_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("comLog");

    const int size = largeFileSize;
    QByteArray manyPairs;
    manyPairs.reserve(size + 64);
    while (manyPairs.size() < size)
        manyPairs += "COM Log\r\n0\r\nParity\r\neven\r\n";
    manyPairs += "COM Log\r\n1\r\n";
    QTest::newRow("many pairs") << manyPairs << 1;
    QTest::newRow("one long line") << QByteArray(size, 'a') << 0;
}

// Reading must stay linear in the file's size; a quadratic reader would take hours here.
void tst_settingsbadinput::largeFile() {
    QFETCH(QByteArray, content);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(fileName, content));
    content.clear();

    QElapsedTimer timer;
    timer.start();
    com_log = 0;
    load_com_log();
    QTEST(int(com_log), "comLog");
    QVERIFY2(timer.elapsed() < 30000, qPrintable(QStringLiteral("%1 ms").arg(timer.elapsed())));
}

void tst_settingsbadinput::directoryNamedSettings() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkdir(fileName));
    QVERIFY(settings_file.exists());

    QVERIFY(read_settings_map().isEmpty());
    com_log = 7;
    load_com_log();
    QCOMPARE(int(com_log), 0);
    QVERIFY(!write_settings_map({{QStringLiteral("COM Log"), QStringLiteral("1")}}));
    QVERIFY(QFileInfo(fileName).isDir());
    QCOMPARE(entries(), QStringList{fileName});
}

// Opening a FIFO for reading waits for a writer; the reader must not wait at all.
void tst_settingsbadinput::fifoNamedSettings() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QCOMPARE(::mkfifo(QFile::encodeName(fileName).constData(), 0644), 0);

    QElapsedTimer timer;
    timer.start();
    QVERIFY(read_settings_map().isEmpty());
    com_log = 7;
    load_com_log();
    QCOMPARE(int(com_log), 0);
    QVERIFY(timer.elapsed() < 5000);
}

void tst_settingsbadinput::unreadableFile() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther | QFile::ReadGroup |
                                                  QFile::ExeGroup));
    QVERIFY(writeFileBytes(fileName, defaultBytes));
    QVERIFY(QFile::setPermissions(fileName, QFile::ReadOwner | QFile::WriteOwner));

    UnprivilegedFileAccess unprivileged;
    if (!unprivileged.isActive())
        QSKIP("the file-system identity cannot be changed here");
    if (QFile(fileName).open(QIODevice::ReadOnly))
        QSKIP("file modes do not stop this process from reading");

    QVERIFY(settings_file.exists());
    QVERIFY(read_settings_map().isEmpty());
    verifyOtherTextValues(connectionValuesFromMap(read_settings_map()));
    com_log = 7;
    load_com_log();
    QCOMPARE(int(com_log), 0);
}

void tst_settingsbadinput::unwritableWorkingDirectory() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                  QFile::ReadOther | QFile::ExeOther));
    {
        UnprivilegedFileAccess unprivileged;
        if (!unprivileged.isActive())
            QSKIP("the file-system identity cannot be changed here");
        if (QFile(QStringLiteral("probe")).open(QIODevice::WriteOnly))
            QSKIP("directory modes do not stop this process from writing");

        // No file can be created: start-up goes on with logging off and nothing to load.
        create_default_settings();
        QVERIFY(!settings_file.exists());
        com_log = 0;
        load_com_log();
        QCOMPARE(int(com_log), 0);
        QVERIFY(read_settings_map().isEmpty());
        QVERIFY(!write_settings_map({{QStringLiteral("COM Log"), QStringLiteral("1")}}));
        QVERIFY(entries().isEmpty());
    }

    // An existing file in a directory that cannot take the replacement stays as it was.
    QVERIFY(writeFileBytes(fileName, defaultBytes));
    QVERIFY(
        QFile::setPermissions(fileName, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
    UnprivilegedFileAccess unprivileged;
    QVERIFY(unprivileged.isActive());
    SettingsMap map = read_settings_map();
    QCOMPARE(map.size(), 7);
    map.insert(QStringLiteral("Parity"), QStringLiteral("odd"));
    QVERIFY(!write_settings_map(map));
    QCOMPARE(readFileBytes(fileName), defaultBytes);
    QCOMPARE(entries(), QStringList{fileName});
}

void tst_settingsbadinput::fullFileSystem_data() {
    QTest::addColumn<bool>("fillFirst");
    QTest::addColumn<int>("valueSize");
    QTest::newRow("content larger than the free space") << false << 4 * 1024 * 1024;
    QTest::newRow("no space left at all") << true << 0;
}

void tst_settingsbadinput::fullFileSystem() {
    QFETCH(bool, fillFirst);
    QFETCH(int, valueSize);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkdir(QStringLiteral("small")));
    const QString small = dir.path() + QStringLiteral("/small");
    ScopedTmpfs tmpfs(small, "256k");
    if (!tmpfs.isMounted())
        QSKIP(qPrintable(QStringLiteral("cannot mount a small tmpfs here: ") + tmpfs.error()));
    CurrentDir inSmall(small);
    QVERIFY(inSmall.isValid());

    create_default_settings();
    QCOMPARE(readFileBytes(fileName), defaultBytes);
    if (fillFirst)
        QVERIFY(fillFileSystem(small));

    SettingsMap map = read_settings_map();
    map.insert(QStringLiteral("COM Port"), QStringLiteral("COM9"));
    map.insert(QStringLiteral("Note"), QString(valueSize, QLatin1Char('n')));
    QVERIFY(!write_settings_map(map));
    QCOMPARE(readFileBytes(fileName), defaultBytes);
    QStringList expected{fileName};
    if (fillFirst)
        expected.prepend(QStringLiteral("filler"));
    QCOMPARE(entries(), expected);
}

QTEST_GUILESS_MAIN(tst_settingsbadinput)
#include "tst_settingsbadinput.moc"
