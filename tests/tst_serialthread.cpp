#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/linkrecorder.h"
#include "support/ptypair.h"
#include "workfiles/settingsfile.h"

#include <QtTest>

#include <chrono>
#include <ctime>
#include <thread>

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

enum class Fault {
    HangUpAtProbe,
    HangUpOnceAnswerRead,
    HangUpAtSending,
    LongUnread,
    OneReadError,
    AnswerUnreadAtEnd,
    HangUpUnseenAtEnd
};

} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_serialthread : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { setPortLister(nullptr); }

    void manualSuccess_data() {
        QTest::addColumn<QVector<int>>("line"); // baud, data bits, parity, stop bits, as the settings file gives them
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<QByteArray>("command");
        // A pseudo-terminal refuses parity and 7 data bits; the attempt goes on and reports the stored values.
        QTest::newRow("defaults") << QVector<int>{115200, 8, 0, 1} << QByteArray("ZEVR-3G v1.0\r\n") << dateCommand;
        QTest::newRow("9600 7E2, token inside, meter") << QVector<int>{9600, 7, 2, 2} << QByteArray("\r\nOK ZEVR-3G v1")
                                                       << QByteArray::fromHex("434d447a01000001e24003e8ff");
        // A settings file without a baud rate gives 0.
        QTest::newRow("baud 0, 8O1, token at the end, zero bytes")
            << QVector<int>{0, 8, 3, 1} << QByteArray("v1 ZEVR-3G") << QByteArray::fromHex("434d4477000000000000");
    }

    void manualSuccess() {
        QFETCH(QVector<int>, line);
        QFETCH(QByteArray, answer);
        QFETCH(QByteArray, command);
        PtyPair device;
        device.answerEachProbe(answer);
        SerialThread worker;
        worker.applyConnectionValues(
            {device.portName(), line[0], quint8(line[2]), quint8(line[3]), quint8(line[1]), false});
        LinkRecorder recorder(&worker);
        // The answer time and the quiet gap as the timers hold them once the answer's first bytes are read, and a gap
        // that ends once: timing tests allow 15 % either way, which tells neither 20 ms from 21 nor 1000 from 1020.
        QList<int> intervals;
        connect(worker.port, &QSerialPort::readyRead, &worker, [&] {
            if (intervals.isEmpty())
                intervals << worker.tWaitAnswer->interval() << worker.tDataRecv->interval()
                          << worker.tDataRecv->isSingleShot();
        });
        worker.slot_data_send(command);
        QVERIFY(recorder.waitForCount(4, 5000));
        QCOMPARE(intervals, (QList<int>{1000, 20, 1}));
        const QString name = device.portName();
        QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(name, line[0], line[1], line[2], line[3]), found,
                                                  sending, sent(name)}));
        QVERIFY(!worker.port->isOpen() && device.waitForReceived(probe.size() + command.size(), 2000));
        QCOMPARE(device.received(), probe + command);
        // The stored codes are QSerialPort's own values. A closed port keeps what the pseudo-terminal refused, and the
        // worker sets its port up the same way after every open.
        QSerialPort closed;
        configureLine(&closed, line[0], quint8(line[1]), quint8(line[2]), quint8(line[3]));
        QCOMPARE(QVector<int>({closed.baudRate(QSerialPort::Input), closed.baudRate(QSerialPort::Output),
                               closed.dataBits(), closed.parity(), closed.stopBits(), closed.flowControl()}),
                 QVector<int>({line[0], line[0], line[1], line[2], line[3], QSerialPort::NoFlowControl}));
    }

    // The search walks the list in order, the configured port in no favoured place: a busy line; a device that chatters
    // the token's start without a pause until the answer time is up; one that had the token waiting on its line before
    // the probe and answers the probe with the token's end; then the device.
    void automaticSearch() {
        PtyPair busy, chatty, partial, answering;
        QSerialPort holder(busy.path());
        QVERIFY(holder.open(QIODevice::ReadWrite)); // a second open of this line now fails
        QTimer chatter;
        chatter.setTimerType(Qt::PreciseTimer);
        connect(&chatter, &QTimer::timeout, &chatty, [&] { chatty.write("ZEVR"); });
        connect(&chatty, &PtyPair::dataReceived, &chatter, [&] { chatter.start(5); });
        QVERIFY(partial.write("ZEVR-3G"));
        partial.answerEachProbe("-3G");
        answering.answerEachProbe("ZEVR-3G");
        const QStringList names = {busy.portName(), chatty.portName(), partial.portName(), answering.portName()};
        setPortLister([names] { return names; });
        SerialThread worker;
        worker.com_port = partial.portName();
        LinkRecorder recorder(&worker);
        connect(&recorder, &LinkRecorder::recorded, &chatter, &QTimer::stop);
        worker.slot_data_send(dateCommand);
        QVERIFY(recorder.waitForCount(9, 8000));
        QCOMPARE(recorder.reports(), QStringList({LinkRecorder::notOpened(names[0]), LinkRecorder::opened(names[1]),
                                                  notFound, LinkRecorder::opened(names[2]), notFound,
                                                  LinkRecorder::opened(names[3]), found, sending, sent(names[3])}));
        QVERIFY(!worker.port->isOpen() && answering.waitForReceived(probe.size() + dateCommand.size(), 2000));
        QCOMPARE(answering.received(), probe + dateCommand);
        QCOMPARE(chatty.received(), probe);
        QCOMPARE(partial.received(), probe);
        QCOMPARE(busy.received(), QByteArray());
    }

    void answerTiming_data() {
        QTest::addColumn<QStringList>("answer"); // pieces "ms:bytes", ms after the piece before (the first: after the
                                                 // opened report); "bytes*N" stands for N pieces
        QTest::addColumn<bool>("taken");
        QTest::newRow("silent device") << QStringList() << false;
        QTest::newRow("token at once") << QStringList{"0:ZEVR-3G"} << true;
        QTest::newRow("token split by a pause") << QStringList{"0:ZEVR", "60:-3G"} << false;
        QTest::newRow("stream after the token") << QStringList{"0:ZEVR-3G", "4:0123456789*40"} << true;
        // Within the 1000 ms the controller is allowed, although its quiet gap ends only after them.
        QTest::newRow("answer at 990 ms") << QStringList{"990:ZEVR-3G"} << true;
        QTest::newRow("other bytes at 990 ms, judged after their gap") << QStringList{"990:ZEVR-3"} << false;
        // Never quiet by 1000 ms plus one gap: refused then, not once the stream ends.
        QTest::newRow("stream from 900 ms to 1400 ms") << QStringList{"900:ZEVR-3G", "4:........*125"} << false;
    }

    // Judged 20 ms after the last byte, or 1000 ms after the probe if no byte is in its gap then, each within 15 %.
    // Two timers of the test bracket that moment; timers of one thread fire in the order of their deadlines, however
    // late a busy machine lets them fire. Only a round whose pieces left on time, and whose last piece the worker read
    // at once, proves anything; a disturbed one is set up again.
    void answerTiming() {
        using Clock = std::chrono::steady_clock;
        using std::chrono::milliseconds;
        QFETCH(QStringList, answer);
        QFETCH(bool, taken);
        QList<QPair<int, QByteArray>> pieces; // ms after the opened report
        int at = 0;
        for (const QString &piece : std::as_const(answer)) {
            const QStringList repeated = piece.section(':', 1).split('*');
            for (int i = repeated.value(1, "1").toInt(); i > 0; --i)
                pieces.append({at += piece.section(':', 0, 0).toInt(), repeated[0].toLatin1()});
        }
        const bool gap = taken || (!pieces.isEmpty() && pieces.last().first > 980 && pieces.last().first < 1000);
        for (int round = 0; round < 3; ++round) {
            PtyPair device;
            SerialThread worker;
            useManualPort(worker, device.portName());
            LinkRecorder recorder(&worker);
            QSignalSpy failed(&worker, &SerialThread::signal_attempt_failed);
            Clock::time_point opened, lastWrite, lastRead;
            bool late = false, early = false, due = false, inTime = false;
            int next = 0;
            QTimer step;
            step.setTimerType(Qt::PreciseTimer);
            step.setSingleShot(true);
            const auto bracket = [&](int ms) {
                QTimer::singleShot(ms * 85 / 100, Qt::PreciseTimer, &worker, [&] { early = true; });
                QTimer::singleShot(ms * 115 / 100, Qt::PreciseTimer, &worker, [&] { due = true; });
            };
            connect(&step, &QTimer::timeout, &worker, [&] {
                late = late || Clock::now() > opened + milliseconds(pieces[next].first + 5);
                device.write(pieces[next].second);
                lastWrite = Clock::now();
                if (++next < pieces.size())
                    step.start(std::max(0, pieces[next].first - int((Clock::now() - opened) / milliseconds(1))));
                else if (gap)
                    bracket(20);
            });
            connect(worker.port, &QSerialPort::readyRead, &worker, [&] { lastRead = Clock::now(); });
            connect(&recorder, &LinkRecorder::recorded, &worker, [&] {
                if (recorder.reports().size() == 2)
                    inTime = early && !due;
                if (recorder.reports().size() != 1)
                    return;
                opened = Clock::now();
                if (!gap)
                    bracket(1000);
                if (!pieces.isEmpty())
                    step.start(pieces[0].first);
            });
            worker.slot_data_send(dateCommand);
            late = late || Clock::now() - opened > milliseconds(50);
            QVERIFY(recorder.waitForCount(taken ? 4 : 2, 5000));
            if (late || (gap && lastRead - lastWrite > milliseconds(2)))
                continue;
            const QString name = device.portName();
            QCOMPARE(recorder.reports(), taken ? success(name) : QStringList({LinkRecorder::opened(name), notFound}));
            QVERIFY2(inTime, gap ? "not judged 20 ms after the last byte" : "not given up 1000 ms after the probe");
            // The history and the sender tell why the port was given up.
            QCOMPARE(failed.value(0).value(1).toString(), taken ? QString() : QStringLiteral("нет ответа"));
            QVERIFY(worker.answer_buf.isEmpty() && !worker.port->isOpen());
            const QByteArray line = taken ? probe + dateCommand : probe;
            QVERIFY(device.waitForReceived(line.size(), 2000));
            QCOMPARE(device.received(), line);
            return;
        }
        QSKIP("the machine was too busy to keep to the timing");
    }

    // "Отмена" from inside the link's reports: between two ports of a search, when none is being tried, it adds no
    // attempt of its own and no port after it is tried; from the opened report, no probe follows, no answer is awaited.
    void cancelInsideAReport() {
        setPortLister([] { return QStringList{"zevr-missing-1", "zevr-missing-2"}; });
        SerialThread worker;
        QSignalSpy attempts(&worker, &SerialThread::signal_attempt_failed);
        connect(&worker, &SerialThread::signal_attempt_failed, &worker, [&] {
            if (attempts.size() == 1)
                worker.slot_cancel();
        });
        worker.slot_data_send(dateCommand);
        QTest::qWait(50);
        QCOMPARE(attempts.size(), 1);
        PtyPair device;
        useManualPort(worker, device.portName());
        connect(&worker, &SerialThread::signal_port_opend, &worker, &SerialThread::slot_cancel);
        worker.slot_data_send(dateCommand);
        QVERIFY(!worker.port->isOpen() && !worker.tWaitAnswer->isActive());
    }

    void faultyLine_data() {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QStringList>("after"); // the reports after the opened one, %1 for the port
        QTest::addColumn<int>("ms");            // from the last report but one to the last: 0 for at once
        const QStringList failed = {found, sending, QStringLiteral("Ошибка отправки. %1 закрыт")};
        // A broken line ends the attempt at once, not after the answer or write time-out.
        QTest::newRow("hang-up while waiting") << Fault::HangUpAtProbe << QStringList{notFound} << 0;
        // The device answered; it is the command that could not go.
        QTest::newRow("hang-up once the answer was read") << Fault::HangUpOnceAnswerRead << failed << 0;
        QTest::newRow("hang-up while the command leaves") << Fault::HangUpAtSending << failed << 0;
        // A command that cannot leave is given up 1000 ms after it was written.
        QTest::newRow("far end reads nothing of a long command") << Fault::LongUnread << failed << 1000;
        // A read notification that finds no data reports one ReadError on a sound line.
        QTest::newRow("one read error") << Fault::OneReadError << QStringList{found, sending, sent("%1")} << 0;
        // The answer came just before the wait ended, and the wait's end is handled before the bytes are read.
        QTest::newRow("answer unread when the wait ends")
            << Fault::AnswerUnreadAtEnd << QStringList{found, sending, sent("%1")} << 0;
        // The line went as the wait ended: two of the flood of read errors came before, the wait's own last read met
        // the third, which ended the attempt; the wait's end must not end it again.
        QTest::newRow("hang-up unseen when the wait ends") << Fault::HangUpUnseenAtEnd << QStringList{notFound} << 0;
    }

    void faultyLine() {
        QFETCH(Fault, fault);
        QFETCH(QStringList, after);
        QFETCH(int, ms);
        PtyPair device;
        const QString name = device.portName();
        SerialThread worker;
        useManualPort(worker, name);
        LinkRecorder recorder(&worker);
        connect(&device, &PtyPair::dataReceived, &worker, [&] {
            if (device.received() != probe)
                return;
            for (int error = fault == Fault::HangUpUnseenAtEnd ? 2 : fault == Fault::OneReadError; error > 0; --error)
                emit worker.port->errorOccurred(QSerialPort::ReadError);
            if (fault == Fault::HangUpAtProbe || fault == Fault::HangUpUnseenAtEnd)
                device.hangUp();
            else
                device.write("ZEVR-3G");
            if (fault == Fault::AnswerUnreadAtEnd || fault == Fault::HangUpUnseenAtEnd) {
                QThread::msleep(20); // through the pseudo-terminal
                worker.slot_tWaitAnswer_timeout();
            }
        });
        // The machine's own delay in waking up from a wait as long as the one measured, from the same moment on.
        std::thread reference;
        std::chrono::steady_clock::duration lateness{};
        connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
            if (report == sending && fault == Fault::HangUpAtSending)
                device.hangUp();
            if (report == sending && ms > 0)
                reference = std::thread([&] {
                    const auto start = std::chrono::steady_clock::now();
                    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
                    lateness = std::chrono::steady_clock::now() - start - std::chrono::milliseconds(ms);
                });
        });
        // Connected after the worker's own slot, so the bytes are in its buffer by now; the attempt ends at the error.
        connect(worker.port, &QSerialPort::readyRead, &worker, [&] {
            if (fault != Fault::HangUpOnceAnswerRead || !worker.answer_buf.contains("ZEVR-3G"))
                return;
            device.hangUp();
            emit worker.port->errorOccurred(QSerialPort::ResourceError); // as a pulled-out adapter reports
            QCOMPARE(recorder.reports().size(), 4);
        });
        const QStringList expected = QStringList(LinkRecorder::opened(name)) + after.replaceInStrings("%1", name);
        QSignalSpy attempts(&worker, &SerialThread::signal_attempt_failed);
        // The event loop stands still while a command leaves, so the far end reads none of it.
        worker.slot_data_send(fault == Fault::LongUnread ? "CMDz" + QByteArray(256 * 1024, 'Z') : dateCommand);
        const bool done = recorder.waitForCount(expected.size(), 5000);
        if (reference.joinable())
            reference.join();
        QVERIFY(done);
        QCOMPARE(recorder.reports(), expected);
        const qint64 took = recorder.elapsedAt(expected.size() - 1) - recorder.elapsedAt(expected.size() - 2);
        const qint64 slack = lateness / std::chrono::milliseconds(1);
        QVERIFY2(took >= ms * 85 / 100 && took <= (ms ? ms * 115 / 100 + slack : 850),
                 qPrintable(QString::number(took)));
        QVERIFY(!worker.port->isOpen());
        // The history and the sender tell why in Russian; the system's own words may follow in brackets.
        for (const QList<QVariant> &attempt : attempts) {
            const QString reason = attempt.at(1).toString();
            const QString words = reason.left(reason.indexOf(QStringLiteral(" (")));
            QVERIFY2(!words.contains(QRegularExpression(QStringLiteral("[A-Za-z]"))), qPrintable(reason));
        }
        if (fault == Fault::LongUnread)
            QCOMPARE(attempts.value(0).value(1).toString(),
                     QStringLiteral("команда не ушла целиком: порт не передал её за 1000 мс"));
        const QByteArray line =
            fault == Fault::OneReadError || fault == Fault::AnswerUnreadAtEnd ? probe + dateCommand : probe;
        QVERIFY(device.waitForReceived(line.size(), 1000) && device.received().startsWith(line));
        // No report follows, and the process stays idle instead of spinning on a dead line.
        const std::clock_t cpuBefore = std::clock();
        QVERIFY(!recorder.waitForCount(expected.size() + 1, 300));
        const qint64 cpuUsed = qint64(std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC;
        QVERIFY2(cpuUsed < 100, qPrintable(QString::number(cpuUsed)));
    }

    void commandsAreQueued() {
        // The first command finds no port listed, the second only a silent one; the third and the fourth come while the
        // second is on its way and wait their turn, the fifth from inside a report of the third, as a direct call.
        PtyPair silent, answering;
        answering.answerEachProbe("ZEVR-3G");
        QList<QStringList> listings = {{}, {silent.portName()}};
        for (int i = 0; i < 3; ++i)
            listings << QStringList{answering.portName()};
        int listed = 0;
        setPortLister([&] { return listings.value(listed++); });
        SerialThread worker;
        LinkRecorder recorder(&worker);
        connect(&recorder, &LinkRecorder::recorded, &worker, [&](const QString &report) {
            if (report == sending && recorder.reports().size() == 5)
                worker.slot_data_send("CMDw5");
        });
        worker.slot_data_send("CMDw1");
        QCOMPARE(recorder.reports(), QStringList());
        for (const char *command : {"CMDw2", "CMDw3", "CMDw4"})
            worker.slot_data_send(command);
        QVERIFY(recorder.waitForCount(14, 8000));
        const QString name = answering.portName();
        QCOMPARE(recorder.reports(), QStringList({LinkRecorder::opened(silent.portName()), notFound}) + success(name) +
                                         success(name) + success(name));
        QCOMPARE(listed, 5);
        const QByteArray line = probe + "CMDw3" + probe + "CMDw4" + probe + "CMDw5";
        QVERIFY(answering.waitForReceived(line.size(), 2000));
        QCOMPARE(answering.received(), line);
        QCOMPARE(silent.received(), probe);
        QVERIFY(!recorder.waitForCount(15, 100));
    }

    // Holding ended mid-command keeps the port till the command ends; a held port serves its name until its line dies.
    void holdEndsAfterTheCommand() {
        PtyPair device, held, next;
        SerialThread worker;
        worker.applyConnectionValues({device.portName(), 115200, 0, 1, 8, false});
        LinkRecorder recorder(&worker);
        worker.setHoldPort(true);
        worker.slot_data_send(dateCommand);
        QVERIFY(device.waitForReceived(probe.size(), 2000));
        worker.setHoldPort(false);
        QVERIFY(worker.port->isOpen() && device.write("ZEVR-3G"));
        QVERIFY(recorder.waitForCount(4, 5000));
        QCOMPARE(recorder.reports(), success(device.portName()));
        QVERIFY(device.waitForReceived(probe.size() + dateCommand.size(), 2000));
        QCOMPARE(device.received(), probe + dateCommand);
        QVERIFY(!worker.port->isOpen());
        held.answerEachProbe("ZEVR-3G");
        next.answerEachProbe("ZEVR-3G");
        useManualPort(worker, held.portName());
        worker.setHoldPort(true);
        worker.slot_data_send(dateCommand);
        useManualPort(worker, next.portName());
        worker.slot_data_send(dateCommand);
        QVERIFY(next.waitForReceived(probe.size() + dateCommand.size(), 5000) && worker.port->isOpen());
        next.hangUp();
        QTRY_VERIFY(!worker.port->isOpen());
    }
};

QTEST_MAIN(tst_serialthread)
#include "tst_serialthread.moc"
