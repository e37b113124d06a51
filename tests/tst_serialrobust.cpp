#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/linkrecorder.h"
#include "support/ptypair.h"

#include <QtTest>

#include <sys/resource.h>

namespace {

const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
const QString found = QStringLiteral("Обнаружено устройство");
const QString sending = QStringLiteral("Отправка сообщения");
const QString notFound = QStringLiteral("Устройство не обнаружено");

QByteArray dateCommand() { return QByteArrayLiteral("CMDy") + QByteArray::fromHex("0c1e2d0f0618"); }

QString sent(const QString &name) { return QStringLiteral("Отправлено. ") + name + QStringLiteral(" закрыт"); }

QString sendFailed(const QString &name) {
    return QStringLiteral("Ошибка отправки. ") + name + QStringLiteral(" закрыт");
}

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

qint64 cpuTimeMs() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (qint64(usage.ru_utime.tv_sec) + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Counts the errors after which a line is dead, as the port reports them.
class LineErrorCounter : public QObject {
public:
    explicit LineErrorCounter(QSerialPort *port) {
        connect(port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
            if (error == QSerialPort::ReadError || error == QSerialPort::WriteError ||
                error == QSerialPort::ResourceError)
                ++count;
        });
    }
    int count = 0;
};

enum class HangUp { WhileWaiting, RightAfterAnswering, WhileCommandLeaves };

} // namespace

Q_DECLARE_METATYPE(HangUp)

class tst_serialrobust : public QObject {
    Q_OBJECT

private slots:
    void cleanup();

    void hangUp_data();
    void hangUp();
    void hangUpMovesOnToNextCandidate();
    void singleReadErrorIsNotALineFailure();
    void bytesOfOnePortAreNotTheAnswerOfTheNext();
    void bytesFromBeforeTheProbeAreNotAnAnswer();
    void commandThatCannotLeave_data();
    void commandThatCannotLeave();
    void longCommandLeavesWhole();
    void commandsAreQueued();
    void queueGoesOnAfterFailures();
};

void tst_serialrobust::cleanup() { setPortLister(nullptr); }

void tst_serialrobust::hangUp_data() {
    QTest::addColumn<HangUp>("when");
    QTest::addColumn<QStringList>("expected"); // after the opened report
    QTest::newRow("while waiting") << HangUp::WhileWaiting << QStringList{notFound};
    QTest::newRow("right after answering") << HangUp::RightAfterAnswering << QStringList{notFound};
    QTest::newRow("while the command leaves")
        << HangUp::WhileCommandLeaves << QStringList{found, sending, QStringLiteral("failed")};
}

void tst_serialrobust::hangUp() {
    QFETCH(HangUp, when);
    QFETCH(QStringList, expected);
    PtyPair device;
    const QString name = device.portName();
    SerialThread worker;
    useManualPort(worker, name);
    LinkRecorder recorder(&worker);
    LineErrorCounter errors(worker.port);
    connect(&device, &PtyPair::dataReceived, &worker, [&] {
        if (device.probesReceived() != 1)
            return;
        if (when != HangUp::WhileWaiting)
            device.write("ZEVR-3G");
        if (when == HangUp::WhileCommandLeaves)
            device.stopOutput(); // the command stays on its way until the line breaks
        else
            device.hangUp();
    });
    connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
        if (report == sending && when == HangUp::WhileCommandLeaves)
            device.hangUpAfter(100);
    });
    if (expected.last() == QLatin1String("failed"))
        expected.last() = sendFailed(name);
    expected.prepend(LinkRecorder::opened(name));

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(expected.size(), 5000));
    // The broken line ends the attempt at once, not after the answer or write time-out.
    const qint64 ended = recorder.elapsedAt(expected.size() - 1) - recorder.elapsedAt(0);
    QVERIFY2(ended < 900, qPrintable(QString::number(ended)));
    QCOMPARE(recorder.reports(), expected);
    QVERIFY(!worker.port->isOpen());

    // No report follows, and the process stays idle instead of spinning on the dead line.
    const int errorsAtEnd = errors.count;
    const qint64 cpuBefore = cpuTimeMs();
    spin(300);
    const qint64 cpuUsed = cpuTimeMs() - cpuBefore;
    QCOMPARE(recorder.count(), expected.size());
    QVERIFY2(errors.count <= 5, qPrintable(QString::number(errors.count)));
    QCOMPARE(errors.count, errorsAtEnd);
    QVERIFY2(cpuUsed < 100, qPrintable(QString::number(cpuUsed)));
}

void tst_serialrobust::hangUpMovesOnToNextCandidate() {
    PtyPair lost, answering;
    connect(&lost, &PtyPair::dataReceived, &lost, &PtyPair::hangUp);
    answering.answerEachProbe("ZEVR-3G");
    const QStringList names = {lost.portName(), answering.portName()};
    setPortLister([names] { return names; });
    SerialThread worker;
    LinkRecorder recorder(&worker);

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(6, 5000));
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(names[0]), notFound}) + success(names[1]));
    QVERIFY2(recorder.elapsedAt(5) < 900, qPrintable(QString::number(recorder.elapsedAt(5))));
    QVERIFY(answering.waitForReceived(probe.size() + 10, 2000));
    QCOMPARE(answering.received(), probe + dateCommand());
}

void tst_serialrobust::singleReadErrorIsNotALineFailure() {
    // A read notification that finds nothing to read reports one ReadError on a sound line.
    PtyPair device;
    SerialThread worker;
    useManualPort(worker, device.portName());
    LinkRecorder recorder(&worker);
    connect(&device, &PtyPair::dataReceived, &worker, [&] {
        if (device.probesReceived() != 1 || device.received().size() != probe.size())
            return;
        emit worker.port->errorOccurred(QSerialPort::ReadError);
        device.write("ZEVR-3G");
    });

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(4, 5000));
    QCOMPARE(recorder.reports(), success(device.portName()));
    QVERIFY(device.waitForReceived(probe.size() + 10, 2000));
    QCOMPARE(device.received(), probe + dateCommand());
}

void tst_serialrobust::bytesOfOnePortAreNotTheAnswerOfTheNext() {
    // The first device chatters without a pause, ending every burst with the start of the token, until the
    // answer time is up; the second answers the probe with only the rest of it. Put together they would
    // read "ZEVR-3G", but neither device answered.
    PtyPair chatty, partial;
    QTimer chatter;
    chatter.setTimerType(Qt::PreciseTimer);
    connect(&chatter, &QTimer::timeout, &chatty, [&] { chatty.write("ZEVR"); });
    connect(&chatty, &PtyPair::dataReceived, &chatter, [&] { chatter.start(5); });
    partial.answerEachProbe("-3G");
    const QStringList names = {chatty.portName(), partial.portName()};
    setPortLister([names] { return names; });
    SerialThread worker;
    LinkRecorder recorder(&worker);
    connect(&recorder, &LinkRecorder::recorded, &chatter, [&](const QString &report) {
        if (report == notFound)
            chatter.stop();
    });

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(4, 6000));
    spin(100);
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::opened(names[0]), notFound, LinkRecorder::opened(names[1]), notFound}));
    QCOMPARE(chatty.received(), probe);
    QCOMPARE(partial.received(), probe);
    QVERIFY(worker.answer_buf.isEmpty());
    QVERIFY(!worker.tDataRecv->isActive());
}

void tst_serialrobust::bytesFromBeforeTheProbeAreNotAnAnswer() {
    // A device that spoke while the port was closed, say a late answer to an earlier probe, has not
    // answered this one.
    PtyPair device;
    QVERIFY(device.write("ZEVR-3G"));
    SerialThread worker;
    useManualPort(worker, device.portName());
    LinkRecorder recorder(&worker);

    worker.slot_data_send(dateCommand());
    QVERIFY(recorder.waitForCount(2, 5000));
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(device.portName()), notFound}));
    QCOMPARE(device.received(), probe);
}

void tst_serialrobust::commandThatCannotLeave_data() {
    QTest::addColumn<bool>("holdOutput");
    QTest::addColumn<int>("size");
    QTest::newRow("line holds the output") << true << 10;
    QTest::newRow("far end reads nothing of a long command") << false << 256 * 1024;
}

void tst_serialrobust::commandThatCannotLeave() {
    QFETCH(bool, holdOutput);
    QFETCH(int, size);
    const QByteArray command = QByteArrayLiteral("CMDz") + QByteArray(size - 4, '\x5a');
    PtyPair device;
    const QString name = device.portName();
    SerialThread worker;
    useManualPort(worker, name);
    LinkRecorder recorder(&worker);
    connect(&device, &PtyPair::dataReceived, &worker, [&] {
        if (device.probesReceived() != 1 || device.received().size() != probe.size())
            return;
        device.write("ZEVR-3G");
        if (holdOutput)
            device.stopOutput();
    });

    worker.slot_data_send(command);
    QVERIFY(recorder.waitForCount(4, 6000));
    QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(name), found, sending, sendFailed(name)}));
    const qint64 waited = recorder.elapsedAt(3) - recorder.elapsedAt(2);
    QVERIFY2(waited >= 950 && waited < 3000, qPrintable(QString::number(waited)));
    QVERIFY(!worker.port->isOpen());
    // What had not left when the port closed is gone for good.
    QVERIFY(device.resumeOutput());
    spin(100);
    if (holdOutput)
        QCOMPARE(device.received(), probe);
    else
        QVERIFY(device.received().size() < probe.size() + command.size());
}

void tst_serialrobust::longCommandLeavesWhole() {
    // Far more than one chunk of the port's writes; the far end keeps reading while the event loop waits.
    const QByteArray command = QByteArrayLiteral("CMDx") + QByteArray(64 * 1024, '\x33');
    PtyPair device;
    device.answerEachProbe("ZEVR-3G");
    SerialThread worker;
    useManualPort(worker, device.portName());
    LinkRecorder recorder(&worker);
    connect(&recorder, &LinkRecorder::recorded, &device, [&](const QString &report) {
        if (report == sending)
            device.startBackgroundReading();
    });

    worker.slot_data_send(command);
    QVERIFY(recorder.waitForCount(4, 6000));
    device.stopBackgroundReading();
    QCOMPARE(recorder.reports(), success(device.portName()));
    QVERIFY(device.waitForReceived(probe.size() + command.size(), 2000));
    QCOMPARE(device.received(), probe + command);
}

void tst_serialrobust::commandsAreQueued() {
    const QByteArray first = QByteArrayLiteral("CMDy1"), second = QByteArrayLiteral("CMDy2"),
                     third = QByteArrayLiteral("CMDy3");
    PtyPair device;
    device.answerEachProbe("ZEVR-3G");
    SerialThread worker;
    useManualPort(worker, device.portName());
    LinkRecorder recorder(&worker);
    // The third command is emitted from inside a report of the first, as a direct call.
    bool thirdSent = false;
    connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
        if (report == sending && !thirdSent) {
            thirdSent = true;
            worker.slot_data_send(third);
        }
    });

    worker.slot_data_send(first);
    worker.slot_data_send(second);
    QVERIFY(recorder.waitForCount(12, 8000));
    const QString name = device.portName();
    QCOMPARE(recorder.reports(), success(name) + success(name) + success(name));
    const QByteArray line = probe + first + probe + second + probe + third;
    QVERIFY(device.waitForReceived(line.size(), 2000));
    QCOMPARE(device.received(), line);
    spin(50);
    QCOMPARE(recorder.count(), 12);
}

void tst_serialrobust::queueGoesOnAfterFailures() {
    // One command finds no device, the next finds no port at all, the last one goes out.
    PtyPair silent, answering;
    answering.answerEachProbe("ZEVR-3G");
    const QList<QStringList> listings = {{silent.portName()}, {}, {answering.portName()}};
    int listed = 0;
    setPortLister([&] { return listings.value(listed++); });
    SerialThread worker;
    LinkRecorder recorder(&worker);

    worker.slot_data_send(QByteArrayLiteral("CMDw1"));
    worker.slot_data_send(QByteArrayLiteral("CMDw2"));
    worker.slot_data_send(QByteArrayLiteral("CMDw3"));
    QVERIFY(recorder.waitForCount(6, 6000));
    QCOMPARE(recorder.reports(),
             QStringList({LinkRecorder::opened(silent.portName()), notFound}) + success(answering.portName()));
    QCOMPARE(listed, 3);
    QVERIFY(answering.waitForReceived(probe.size() + 5, 2000));
    QCOMPARE(answering.received(), probe + "CMDw3");
    QCOMPARE(silent.received(), probe);
}

QTEST_MAIN(tst_serialrobust)
#include "tst_serialrobust.moc"
