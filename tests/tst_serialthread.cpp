#include "app/settingsfile.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/linkrecorder.h"
#include "support/ptypair.h"

#include <QtTest>

#include <chrono>
#include <thread>

namespace {

const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
const QString found = QStringLiteral("Обнаружено устройство");
const QString sending = QStringLiteral("Отправка сообщения");
const QString notFound = QStringLiteral("Устройство не обнаружено");

// A date and time command as the main window builds it.
QByteArray dateCommand() { return QByteArrayLiteral("CMDy") + QByteArray::fromHex("0c1e2d0f0618"); }

QString sent(const QString &name) { return QStringLiteral("Отправлено. ") + name + QStringLiteral(" закрыт"); }

QStringList success(const QString &name) { return {LinkRecorder::opened(name), found, sending, sent(name)}; }

void useManualPort(SerialThread &worker, const QString &name) {
    worker.com_auto = false;
    worker.com_port = name;
}

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

class tst_serialthread : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void valuesBeforeAnyLoad();
    void runWithoutSettingsFileChangesNothing();
    void runLoadsConnectionValues();

    void manualSuccess_data();
    void manualSuccess();
    void silentDevice();
    void automaticSearch();
    void automaticSearchWithNoPorts();
    void echoCountsAsAnswer();
    void splitTokenIsRefused();
    void streamIsExaminedAfterItsPause();
    void emptyManualPortName();
};

void tst_serialthread::cleanup() {
    setPortLister(nullptr);
    QFile::remove(QStringLiteral("settings.ini"));
}

void tst_serialthread::valuesBeforeAnyLoad() {
    // The defaults of a fresh settings file, for when none can ever be read.
    SerialThread worker;
    QCOMPARE(worker.baud, 115200);
    QCOMPARE(worker.lenght, quint8(8));
    QCOMPARE(worker.parity, quint8(0));
    QCOMPARE(worker.stopbit, quint8(1));
    QCOMPARE(worker.com_auto, true);
    QCOMPARE(worker.com_port, QString());
    QVERIFY(!worker.port->isOpen());
}

void tst_serialthread::runWithoutSettingsFileChangesNothing() {
    QFile::remove(QStringLiteral("settings.ini"));
    SerialThread worker;
    worker.baud = 4800;
    worker.lenght = 7;
    worker.parity = 3;
    worker.stopbit = 2;
    worker.com_auto = false;
    worker.com_port = QStringLiteral("COM9");
    worker.slot_run();
    QCOMPARE(worker.baud, 4800);
    QCOMPARE(worker.lenght, quint8(7));
    QCOMPARE(worker.parity, quint8(3));
    QCOMPARE(worker.stopbit, quint8(2));
    QCOMPARE(worker.com_auto, false);
    QCOMPARE(worker.com_port, QStringLiteral("COM9"));
}

void tst_serialthread::runLoadsConnectionValues() {
    QFile file(QStringLiteral("settings.ini"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("COM Log\r\n1\r\nCOM Port\r\nCOM7\r\nBaudRate\r\n9600\r\nParity\r\neven\r\nLenght\r\n7 bit\r\n"
               "Stop Bit\r\n2 bit\r\nCOM Auto\r\nfalse\r\n");
    file.close();
    if (read_settings_map().isEmpty())
        QSKIP("this build does not read the settings file yet");
    SerialThread worker;
    worker.slot_run();
    QCOMPARE(worker.com_port, QStringLiteral("COM7"));
    QCOMPARE(worker.baud, 9600);
    QCOMPARE(worker.parity, quint8(2));
    QCOMPARE(worker.lenght, quint8(7));
    QCOMPARE(worker.stopbit, quint8(2));
    QCOMPARE(worker.com_auto, false);
}

void tst_serialthread::manualSuccess_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("lenght");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbit");
    QTest::addColumn<QByteArray>("command");
    // A pseudo-terminal refuses parity and 7 data bits; the attempt goes on and reports the stored values.
    QTest::newRow("defaults, date and time") << 115200 << 8 << 0 << 1 << dateCommand();
    QTest::newRow("9600 7E2, meter") << 9600 << 7 << 2 << 2 << QByteArray::fromHex("434d447a01000001e24003e8ff");
    QTest::newRow("2400 8O1, zero bytes") << 2400 << 8 << 3 << 1 << QByteArray::fromHex("434d4477000000000000");
    QTest::newRow("baud 0 from a bad file") << 0 << 7 << 3 << 2 << dateCommand();
}

void tst_serialthread::manualSuccess() {
    QFETCH(int, baud);
    QFETCH(int, lenght);
    QFETCH(int, parity);
    QFETCH(int, stopbit);
    QFETCH(QByteArray, command);
    PtyPair device;
    QVERIFY(device.isValid());
    device.answerEachProbe("ZEVR-3G v1.0\r\n");
    SerialThread worker;
    useManualPort(worker, device.portName());
    worker.baud = baud;
    worker.lenght = quint8(lenght);
    worker.parity = quint8(parity);
    worker.stopbit = quint8(stopbit);
    LinkRecorder recorder(&worker);

    worker.slot_data_send(command);
    QVERIFY(recorder.waitForCount(4, 5000));
    const QString name = device.portName();
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::opened(name, baud, lenght, parity, stopbit), found, sending, sent(name)}));
    QVERIFY(!worker.port->isOpen());
    QVERIFY(device.waitForReceived(probe.size() + command.size(), 2000));
    QCOMPARE(device.received(), probe + command);
    QCOMPARE(worker.pending_command, command);
}

void tst_serialthread::silentDevice() {
    PtyPair device;
    SerialThread worker;
    useManualPort(worker, device.portName());
    LinkRecorder recorder(&worker);

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(2, 5000));
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(device.portName()), notFound}));
    const qint64 waited = recorder.elapsedAt(1) - recorder.elapsedAt(0);
    QVERIFY2(waited >= 990 && waited < 3000, qPrintable(QString::number(waited)));
    QVERIFY(!worker.port->isOpen());
    QVERIFY(device.waitForReceived(probe.size(), 1000));
    QCOMPARE(device.received(), probe);
}

void tst_serialthread::automaticSearch() {
    PtyPair busy, silent, answering;
    QSerialPort holder(busy.path());
    QVERIFY(holder.open(QIODevice::ReadWrite)); // a second open of this line now fails
    answering.answerEachProbe("ZEVR-3G");
    const QStringList names = {busy.portName(), silent.portName(), answering.portName()};
    setPortLister([names] { return names; });
    SerialThread worker;
    worker.com_port = silent.portName(); // the configured port has no special place in the search
    LinkRecorder recorder(&worker);

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(7, 6000));
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::notOpened(names[0]), LinkRecorder::opened(names[1]), notFound,
                          LinkRecorder::opened(names[2]), found, sending, sent(names[2])}));
    QVERIFY(!worker.port->isOpen());
    QVERIFY(answering.waitForReceived(probe.size() + 10, 2000));
    QCOMPARE(answering.received(), probe + dateCommand());
    QCOMPARE(silent.received(), probe);
    QCOMPARE(busy.received(), QByteArray());
    QVERIFY(worker.port_list.isEmpty());
}

void tst_serialthread::automaticSearchWithNoPorts() {
    PtyPair device;
    device.answerEachProbe("ZEVR-3G");
    QStringList listed;
    setPortLister([&listed] { return listed; });
    SerialThread worker;
    useManualPort(worker, device.portName());
    worker.com_auto = true;
    LinkRecorder recorder(&worker);

    worker.slot_data_send(dateCommand());
    spin(100);
    QCOMPARE(recorder.reports(), QStringList());
    QVERIFY(!worker.port->isOpen());

    // Nothing is left hanging: the next command goes out as usual.
    listed = QStringList{device.portName()};
    worker.slot_data_send(QByteArrayLiteral("CMDz"));
    QVERIFY(recorder.waitForCount(4, 5000));
    QCOMPARE(recorder.reports(), success(device.portName()));
    QVERIFY(device.waitForReceived(probe.size() + 4, 2000));
    QCOMPARE(device.received(), probe + "CMDz");
}

void tst_serialthread::echoCountsAsAnswer() {
    PtyPair loopback;
    loopback.echoEverything(true);
    SerialThread worker;
    useManualPort(worker, loopback.portName());
    LinkRecorder recorder(&worker);

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(4, 5000));
    QCOMPARE(recorder.reports(), success(loopback.portName()));
    QVERIFY(loopback.waitForReceived(probe.size() + 10, 2000));
    QCOMPARE(loopback.received(), probe + dateCommand());
}

void tst_serialthread::splitTokenIsRefused() {
    // The halves are 150 ms apart. The case proves something only when the program read the first half
    // well before the second was written; on a machine too busy for that it is set up again.
    for (int round = 0; round < 3; ++round) {
        PtyPair device;
        SerialThread worker;
        useManualPort(worker, device.portName());
        LinkRecorder recorder(&worker);
        QElapsedTimer clock;
        clock.start();
        qint64 firstHalfWritten = -1, firstHalfRead = -1;
        connect(&device, &PtyPair::dataReceived, &worker, [&] {
            if (firstHalfWritten >= 0 || device.received() != probe)
                return;
            device.write("ZEVR");
            firstHalfWritten = clock.elapsed();
            QTimer::singleShot(150, &worker, [&] { device.write("-3G"); });
        });
        connect(worker.port, &QSerialPort::readyRead, &worker, [&] {
            if (firstHalfWritten >= 0 && firstHalfRead < 0)
                firstHalfRead = clock.elapsed();
        });

        worker.slot_data_send(dateCommand());
        QVERIFY(recorder.waitForCount(2, 5000));
        if (firstHalfRead < 0 || firstHalfRead - firstHalfWritten > 100)
            continue;
        QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(device.portName()), notFound}));
        QCOMPARE(device.received(), probe);
        return;
    }
    QSKIP("the machine was too busy to separate the two halves");
}

void tst_serialthread::streamIsExaminedAfterItsPause() {
    using Clock = std::chrono::steady_clock;
    // The token comes first and the stream goes on in 2 ms steps; only a writer that kept the steps under
    // the quiet gap proves anything, so a stalled writer sets the case up again.
    for (int round = 0; round < 3; ++round) {
        PtyPair device;
        SerialThread worker;
        useManualPort(worker, device.portName());
        LinkRecorder recorder(&worker);
        std::thread writer;
        bool streaming = false;
        Clock::duration longestStep{};
        Clock::time_point lastWrite, foundAt;
        connect(&device, &PtyPair::dataReceived, &worker, [&] {
            if (device.probesReceived() != 1 || streaming)
                return;
            streaming = true;
            writer = std::thread([&] {
                device.write("ZEVR-3G");
                lastWrite = Clock::now();
                for (int i = 0; i < 40; ++i) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                    device.write("0123456789");
                    longestStep = std::max(longestStep, Clock::now() - lastWrite);
                    lastWrite = Clock::now();
                }
            });
        });
        connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
            if (report == found)
                foundAt = Clock::now();
        });

        worker.slot_data_send(dateCommand());
        const bool done = recorder.waitForCount(4, 5000);
        if (writer.joinable())
            writer.join();
        QVERIFY(done);
        if (longestStep >= std::chrono::milliseconds(15))
            continue;
        QCOMPARE(recorder.reports(), success(device.portName()));
        QVERIFY2(foundAt - lastWrite >= std::chrono::milliseconds(15),
                 "the answer was examined before the stream paused");
        QVERIFY(device.waitForReceived(probe.size() + 10, 2000));
        QCOMPARE(device.received(), probe + dateCommand());
        return;
    }
    QSKIP("the machine was too busy to keep the stream going");
}

void tst_serialthread::emptyManualPortName() {
    SerialThread worker;
    useManualPort(worker, QString());
    LinkRecorder recorder(&worker);
    worker.slot_data_send(dateCommand());
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::notOpened(QString())}));
    spin(50);
    QCOMPARE(recorder.count(), 1);
    QVERIFY(!worker.port->isOpen());
}

QTEST_MAIN(tst_serialthread)
#include "tst_serialthread.moc"
