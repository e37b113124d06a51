#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/linkrecorder.h"
#include "support/ptypair.h"

#include <QtTest>

#include <chrono>
#include <ctime>
#include <functional>
#include <thread>

#include <sys/inotify.h>
#include <unistd.h>

namespace {

const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
const QByteArray dateCommand = QByteArrayLiteral("CMDy") + QByteArray::fromHex("0c1e2d0f0618");
const QString found = QStringLiteral("Обнаружено устройство");
const QString sending = QStringLiteral("Отправка сообщения");
const QString notFound = QStringLiteral("Устройство не обнаружено");

QString sent(const QString &name) { return QStringLiteral("Отправлено. %1 закрыт").arg(name); }

QStringList success(const QString &name) { return {LinkRecorder::opened(name), found, sending, sent(name)}; }

void useManualPort(SerialThread &worker, const QString &name) {
    worker.com_auto = false;
    worker.com_port = name;
}

qint64 cpuTimeMs() { return qint64(std::clock()) * 1000 / CLOCKS_PER_SEC; }

enum class Fault {
    Silent,
    HangUpAtProbe,
    HangUpAtAnswer,
    HangUpOnceAnswerRead,
    HangUpAtSending,
    OutputHeld,
    LongUnread,
    OneReadError
};

// Runs `attempt` and tells whether an entry whose name holds `marker` came or went meanwhile in the folders where the
// serial library keeps its lock files.
bool touchesLockFiles(const QByteArray &marker, const std::function<void()> &attempt) {
    const int fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    for (const char *dir : {"/var/lock", "/run/lock", "/tmp"})
        inotify_add_watch(fd, dir, IN_CREATE | IN_DELETE | IN_MOVED_TO);
    attempt();
    alignas(inotify_event) char buffer[16 * 1024];
    bool seen = fd < 0;
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < n;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
            seen = seen || (event->len > 0 && QByteArray(event->name).contains(marker));
            at += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
    ::close(fd);
    return seen;
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_serialthread : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { setPortLister(nullptr); }

    void manualSuccess_data();
    void manualSuccess();
    void automaticSearch();
    void answerTiming_data();
    void answerTiming();
    void answerWindow_data();
    void answerWindow();
    void emptyManualPortName();
    void controlCharactersInPortName_data();
    void controlCharactersInPortName();
    void thousandsOfPortsThatFailToOpen();

    void faultyLine_data();
    void faultyLine();
    void staleBytesAreNoAnswer();
    void commandsAreQueued();
};

void tst_serialthread::manualSuccess_data() {
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("lenght");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbit");
    QTest::addColumn<QByteArray>("answer"); // none: the line echoes everything
    QTest::addColumn<QByteArray>("command");
    // A pseudo-terminal refuses parity and 7 data bits; the attempt goes on and reports the stored values.
    QTest::newRow("defaults") << 115200 << 8 << 0 << 1 << QByteArray("ZEVR-3G v1.0\r\n") << dateCommand;
    QTest::newRow("9600 7E2, meter") << 9600 << 7 << 2 << 2 << QByteArray("ZEVR-3G")
                                     << QByteArray::fromHex("434d447a01000001e24003e8ff");
    QTest::newRow("2400 8O1, zero bytes")
        << 2400 << 8 << 3 << 1 << QByteArray("ZEVR-3G") << QByteArray::fromHex("434d4477000000000000");
    QTest::newRow("baud 0 from a bad file") << 0 << 7 << 3 << 2 << QByteArray("ZEVR-3G") << dateCommand;
    QTest::newRow("echo of the probe") << 115200 << 8 << 0 << 1 << QByteArray() << dateCommand;
}

void tst_serialthread::manualSuccess() {
    QFETCH(int, baud);
    QFETCH(int, lenght);
    QFETCH(int, parity);
    QFETCH(int, stopbit);
    QFETCH(QByteArray, answer);
    QFETCH(QByteArray, command);
    PtyPair device;
    if (answer.isEmpty())
        connect(&device, &PtyPair::dataReceived, &device, &PtyPair::write);
    device.answerEachProbe(answer);
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

    worker.slot_data_send(dateCommand);
    QVERIFY(recorder.waitForCount(7, 6000));
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::notOpened(names[0]), LinkRecorder::opened(names[1]), notFound,
                          LinkRecorder::opened(names[2]), found, sending, sent(names[2])}));
    QVERIFY(!worker.port->isOpen());
    QVERIFY(answering.waitForReceived(probe.size() + dateCommand.size(), 2000));
    QCOMPARE(answering.received(), probe + dateCommand);
    QCOMPARE(silent.received(), probe);
    QCOMPARE(busy.received(), QByteArray());
}

void tst_serialthread::answerTiming_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<int>("stepMs");
    QTest::addColumn<int>("steps");
    QTest::addColumn<QByteArray>("piece");
    QTest::addColumn<bool>("taken");
    QTest::newRow("token split by a pause") << QByteArray("ZEVR") << 150 << 1 << QByteArray("-3G") << false;
    QTest::newRow("token split without a pause") << QByteArray("ZEVR") << 2 << 1 << QByteArray("-3G") << true;
    QTest::newRow("stream after the token") << QByteArray("ZEVR-3G") << 2 << 40 << QByteArray("0123456789") << true;
}

void tst_serialthread::answerTiming() {
    using namespace std::chrono;
    QFETCH(QByteArray, first);
    QFETCH(int, stepMs);
    QFETCH(int, steps);
    QFETCH(QByteArray, piece);
    QFETCH(bool, taken);
    // What came is examined once the line has been quiet for 20 ms. Only a writer that kept its steps on their side
    // of that gap, and a worker that read the first piece in time, prove anything; a busy machine sets it up again.
    for (int round = 0; round < 3; ++round) {
        PtyPair device;
        SerialThread worker;
        useManualPort(worker, device.portName());
        LinkRecorder recorder(&worker);
        std::thread writer;
        steady_clock::time_point firstWrite, lastWrite, firstRead, foundAt;
        steady_clock::duration longestStep{};
        connect(&device, &PtyPair::dataReceived, &worker, [&] {
            if (device.received() != probe || writer.joinable())
                return;
            writer = std::thread([&] {
                firstWrite = lastWrite = steady_clock::now();
                device.write(first);
                for (int i = 0; i < steps; ++i) {
                    std::this_thread::sleep_for(milliseconds(stepMs));
                    device.write(piece);
                    longestStep = std::max(longestStep, steady_clock::now() - lastWrite);
                    lastWrite = steady_clock::now();
                }
            });
        });
        connect(worker.port, &QSerialPort::readyRead, &worker, [&] {
            if (firstRead == steady_clock::time_point())
                firstRead = steady_clock::now();
        });
        connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
            if (report == found)
                foundAt = steady_clock::now();
        });

        worker.slot_data_send(dateCommand);
        const bool done = recorder.waitForCount(taken ? 4 : 2, 5000);
        if (writer.joinable())
            writer.join();
        QVERIFY(done);
        if (stepMs > 20 ? firstRead < firstWrite || firstRead - firstWrite > milliseconds(stepMs - 50)
                        : longestStep >= milliseconds(15))
            continue;
        const QString name = device.portName();
        QCOMPARE(recorder.reports(), taken ? success(name) : QStringList({LinkRecorder::opened(name), notFound}));
        QVERIFY2(!taken || foundAt - lastWrite >= milliseconds(15), "examined before the line went quiet");
        const QByteArray line = taken ? probe + dateCommand : probe;
        QVERIFY(device.waitForReceived(line.size(), 2000));
        QCOMPARE(device.received(), line);
        return;
    }
    QSKIP("the machine was too busy to keep to the timing");
}

void tst_serialthread::answerWindow_data() {
    QTest::addColumn<int>("startMs"); // the first bytes, after the opened report
    QTest::addColumn<int>("endMs");   // the last ones: a stream of filler in between
    QTest::addColumn<bool>("taken");
    // Within the 1000 ms the controller is allowed, although its quiet gap ends only after them.
    QTest::newRow("answer at 990 ms") << 990 << 990 << true;
    // Never quiet by 1000 ms plus one gap: refused then, not once the stream ends.
    QTest::newRow("stream from 900 ms to 1400 ms") << 900 << 1400 << false;
}

// Measured from the opened report: the worker starts its answer timer right after it returns.
void tst_serialthread::answerWindow() {
    using namespace std::chrono;
    QFETCH(int, startMs);
    QFETCH(int, endMs);
    QFETCH(bool, taken);
    for (int round = 0; round < 3; ++round) {
        PtyPair device;
        SerialThread worker;
        useManualPort(worker, device.portName());
        LinkRecorder recorder(&worker);
        std::thread writer;
        steady_clock::time_point opened, firstWrite, lastWrite, judged;
        steady_clock::duration longestStep{};
        connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
            if (report == LinkRecorder::opened(device.portName())) {
                opened = steady_clock::now();
                writer = std::thread([&] {
                    std::this_thread::sleep_until(opened + milliseconds(startMs));
                    firstWrite = lastWrite = steady_clock::now();
                    device.write("ZEVR-3G");
                    while (lastWrite < opened + milliseconds(endMs)) {
                        std::this_thread::sleep_for(milliseconds(3));
                        device.write("........");
                        longestStep = std::max(longestStep, steady_clock::now() - lastWrite);
                        lastWrite = steady_clock::now();
                    }
                });
            } else if (judged == steady_clock::time_point()) {
                judged = steady_clock::now();
            }
        });

        worker.slot_data_send(dateCommand);
        const bool done = recorder.waitForCount(taken ? 4 : 2, 5000);
        if (writer.joinable())
            writer.join();
        QVERIFY(done);
        // Only a writer that kept to its times and never paused near the quiet gap proves anything.
        if (firstWrite - opened > milliseconds(startMs + 5) || longestStep >= milliseconds(15))
            continue;
        const QString name = device.portName();
        QCOMPARE(recorder.reports(), taken ? success(name) : QStringList({LinkRecorder::opened(name), notFound}));
        if (!taken) {
            QVERIFY(judged - opened >= milliseconds(1000));
            QVERIFY2(judged < lastWrite, "waited for the stream to end");
            QVERIFY(worker.answer_buf.isEmpty() && !worker.port->isOpen());
        }
        return;
    }
    QSKIP("the machine was too busy to keep to the timing");
}

void tst_serialthread::emptyManualPortName() {
    SerialThread worker;
    useManualPort(worker, QString());
    LinkRecorder recorder(&worker);
    worker.slot_data_send(dateCommand);
    QVERIFY(!recorder.waitForCount(2, 100));
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::notOpened(QString())}));
    QVERIFY(!worker.port->isOpen());
}

void tst_serialthread::controlCharactersInPortName_data() {
    QTest::addColumn<QString>("name");
    const QString marker = QStringLiteral("zevr-ctl-%1").arg(::getpid());
    QTest::newRow("NUL") << marker + QChar(0) + "x";
    QTest::newRow("line feed") << marker + "\nx";
    QTest::newRow("escape sequence") << marker + "\x1b[2J";
    QTest::newRow("DEL") << marker + "\x7f";
    QTest::newRow("C1 control") << marker + QChar(0x9B);
}

// A damaged settings file may name a port with control characters in it; such a name is not opened, and no lock
// file is made for it (one for a name with a NUL stayed behind).
void tst_serialthread::controlCharactersInPortName() {
    QFETCH(QString, name);
    SerialThread worker;
    useManualPort(worker, name);
    LinkRecorder recorder(&worker);
    const QByteArray marker = QByteArray("zevr-ctl-") + QByteArray::number(::getpid());
    QVERIFY(!touchesLockFiles(marker, [&] { worker.slot_data_send(dateCommand); }));
    QVERIFY(!recorder.waitForCount(2, 50));
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::notOpened(name)}));
}

// Every listed port that fails to open is reported, in list order, without one attempt nesting in the other (that
// overflowed the stack) and with the window's events served between stretches of the walk.
void tst_serialthread::thousandsOfPortsThatFailToOpen() {
    // Names too long for a lock file fail at once; a missing device would cost the lock file's disk sync each.
    const int count = 30000;
    QStringList names;
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("zevr-missing-%1-").arg(i, 5, 10, QLatin1Char('0')) + QString(240, QLatin1Char('x'));
    setPortLister([names] { return names; });
    SerialThread worker;
    QStringList reported;
    quintptr deepest = ~quintptr(0), shallowest = 0;
    connect(&worker, &SerialThread::signal_port_notopend, &worker, [&](const QString &name) {
        reported << name;
        const auto frame = reinterpret_cast<quintptr>(__builtin_frame_address(0));
        deepest = std::min(deepest, frame);
        shallowest = std::max(shallowest, frame);
    });
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &worker, [&] { ++ticks; });
    ticker.start(0);

    worker.slot_data_send(dateCommand);
    const int reportedAtReturn = reported.size();
    QSignalSpy more(&worker, &SerialThread::signal_port_notopend);
    while (reported.size() < count && more.wait(5000)) {
    }
    QCOMPARE(reported.size(), count);
    QCOMPARE(reported, names);
    QVERIFY2(shallowest - deepest < 64 * 1024, qPrintable(QString::number(shallowest - deepest)));
    QVERIFY2(reportedAtReturn < count && ticks > 0, "the walk held the event loop from start to end");
}

void tst_serialthread::faultyLine_data() {
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QStringList>("after"); // the reports after the opened one, %1 for the port
    QTest::addColumn<int>("minMs");         // from the opened report to the last one
    QTest::addColumn<int>("maxMs");
    QTest::addColumn<QByteArray>("line"); // what reaches the device first
    const QStringList failed = {found, sending, QStringLiteral("Ошибка отправки. %1 закрыт")};
    QTest::newRow("silent device") << Fault::Silent << QStringList{notFound} << 990 << 3000 << probe;
    // A broken line ends the attempt at once, not after the answer or write time-out.
    QTest::newRow("hang-up while waiting") << Fault::HangUpAtProbe << QStringList{notFound} << 0 << 900 << probe;
    // Gone with the answer still unread: nothing says a device was there.
    QTest::newRow("hang-up with the answer unread")
        << Fault::HangUpAtAnswer << QStringList{notFound} << 0 << 900 << probe;
    // The device answered; it is the command that could not go.
    QTest::newRow("hang-up once the answer was read") << Fault::HangUpOnceAnswerRead << failed << 0 << 900 << probe;
    QTest::newRow("hang-up while the command leaves") << Fault::HangUpAtSending << failed << 0 << 900 << probe;
    QTest::newRow("line holds the output") << Fault::OutputHeld << failed << 950 << 3000 << probe;
    QTest::newRow("far end reads nothing of a long command") << Fault::LongUnread << failed << 950 << 3000 << probe;
    // A read notification that finds no data reports one ReadError on a sound line.
    QTest::newRow("one read error") << Fault::OneReadError << QStringList{found, sending, sent("%1")} << 0 << 900
                                    << probe + dateCommand;
}

void tst_serialthread::faultyLine() {
    QFETCH(Fault, fault);
    QFETCH(QStringList, after);
    QFETCH(int, minMs);
    QFETCH(int, maxMs);
    QFETCH(QByteArray, line);
    PtyPair device;
    const QString name = device.portName();
    SerialThread worker;
    useManualPort(worker, name);
    LinkRecorder recorder(&worker);
    connect(&device, &PtyPair::dataReceived, &worker, [&] {
        if (device.received() != probe || fault == Fault::Silent)
            return;
        if (fault == Fault::OneReadError)
            emit worker.port->errorOccurred(QSerialPort::ReadError);
        if (fault != Fault::HangUpAtProbe)
            device.write("ZEVR-3G");
        if (fault == Fault::HangUpAtProbe || fault == Fault::HangUpAtAnswer)
            device.hangUp();
        if (fault == Fault::OutputHeld)
            device.stopOutput();
    });
    connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
        if (report == sending && fault == Fault::HangUpAtSending)
            device.hangUp();
    });
    // Connected after the worker's own slot, so the bytes are in its buffer by now.
    connect(worker.port, &QSerialPort::readyRead, &worker, [&] {
        if (fault == Fault::HangUpOnceAnswerRead && worker.answer_buf.contains("ZEVR-3G"))
            device.hangUp();
    });
    const QStringList expected = QStringList(LinkRecorder::opened(name)) + after.replaceInStrings("%1", name);

    // The event loop stands still while a command leaves, so the far end reads none of it.
    worker.slot_data_send(fault == Fault::LongUnread ? "CMDz" + QByteArray(256 * 1024, 'Z') : dateCommand);
    QVERIFY(recorder.waitForCount(expected.size(), 5000));
    QCOMPARE(recorder.reports(), expected);
    const qint64 ended = recorder.elapsedAt(expected.size() - 1) - recorder.elapsedAt(0);
    QVERIFY2(ended >= minMs && ended < maxMs, qPrintable(QString::number(ended)));
    QVERIFY(!worker.port->isOpen());
    QVERIFY(device.waitForReceived(line.size(), 1000));
    QVERIFY(device.received().startsWith(line));
    // No report follows, and the process stays idle instead of spinning on a dead line.
    const qint64 cpuBefore = cpuTimeMs();
    QVERIFY(!recorder.waitForCount(expected.size() + 1, 300));
    const qint64 cpuUsed = cpuTimeMs() - cpuBefore;
    QVERIFY2(cpuUsed < 100, qPrintable(QString::number(cpuUsed)));
}

void tst_serialthread::staleBytesAreNoAnswer() {
    // The first device chatters without a pause until the answer time is up, each burst the start of the token;
    // the second had the token waiting on its line before the probe, and answers the probe with the token's end.
    PtyPair chatty, partial;
    QTimer chatter;
    chatter.setTimerType(Qt::PreciseTimer);
    connect(&chatter, &QTimer::timeout, &chatty, [&] { chatty.write("ZEVR"); });
    connect(&chatty, &PtyPair::dataReceived, &chatter, [&] { chatter.start(5); });
    QVERIFY(partial.write("ZEVR-3G"));
    partial.answerEachProbe("-3G");
    const QStringList names = {chatty.portName(), partial.portName()};
    setPortLister([names] { return names; });
    SerialThread worker;
    LinkRecorder recorder(&worker);
    connect(&recorder, &LinkRecorder::recorded, &chatter, &QTimer::stop);

    worker.slot_data_send(dateCommand);
    QVERIFY(recorder.waitForCount(4, 6000));
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::opened(names[0]), notFound, LinkRecorder::opened(names[1]), notFound}));
    QCOMPARE(chatty.received(), probe);
    QCOMPARE(partial.received(), probe);
}

void tst_serialthread::commandsAreQueued() {
    // The first command finds no port listed, the second only a silent one; the third comes while the second is
    // on its way, the fourth from inside a report of the third, as a direct call.
    PtyPair silent, answering;
    answering.answerEachProbe("ZEVR-3G");
    const QList<QStringList> listings = {{}, {silent.portName()}, {answering.portName()}, {answering.portName()}};
    int listed = 0;
    setPortLister([&] { return listings.value(listed++); });
    SerialThread worker;
    LinkRecorder recorder(&worker);
    connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
        if (report == sending && recorder.reports().size() == 5)
            worker.slot_data_send("CMDw4");
    });

    worker.slot_data_send("CMDw1");
    QCOMPARE(recorder.reports(), QStringList());
    worker.slot_data_send("CMDw2");
    worker.slot_data_send("CMDw3");
    QVERIFY(recorder.waitForCount(10, 8000));
    const QString name = answering.portName();
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::opened(silent.portName()), notFound}) + success(name) + success(name));
    QCOMPARE(listed, 4);
    const QByteArray line = probe + "CMDw3" + probe + "CMDw4";
    QVERIFY(answering.waitForReceived(line.size(), 2000));
    QCOMPARE(answering.received(), line);
    QCOMPARE(silent.received(), probe);
    QVERIFY(!recorder.waitForCount(11, 100));
}

QTEST_MAIN(tst_serialthread)
#include "tst_serialthread.moc"
