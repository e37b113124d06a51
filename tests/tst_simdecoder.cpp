#include "tools/zevr-sim/commandstream.h"
#include "tools/zevr-sim/faultplan.h"
#include "tools/zevr-sim/ptyline.h"
#include "tools/zevr-sim/simdevice.h"
#include "tools/zevr-sim/simoptions.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

const QByteArray initialChannel = hex("0000010111410000 04D20000");
const QByteArray dateTimeCommand = hex("434D4479 173B3B 1F0C63");

// Feeds each chunk as one read; an empty chunk stands for a quiet gap. The line falls quiet at the end.
QStringList streamTexts(const QList<QByteArray> &chunks) {
    CommandStream stream;
    QStringList texts;
    for (const QByteArray &chunk : chunks) {
        for (const StreamEvent &event : chunk.isEmpty() ? stream.endOfBurst() : stream.feed(chunk))
            texts << event.toText();
    }
    for (const StreamEvent &event : stream.endOfBurst())
        texts << event.toText();
    return texts;
}

// The controller's line without a terminal: keeps what the device writes.
class FakeLine : public SimLine {
    Q_OBJECT

public:
    QString path() const override { return QStringLiteral("fake"); }
    void write(const QByteArray &bytes) override { written << bytes; }
    int unreadCount() const override { return 0; }
    void hangUp() override { ++hangUps; }
    void send(const QByteArray &bytes) { emit received(bytes, monotonicNs()); }

    QList<QByteArray> written;
    int hangUps = 0;
};

struct DeviceRig {
    explicit DeviceRig(const QString &cycle) {
        QString error;
        FaultPlan::parse(cycle, FaultDurations(), &settings.plan, &error);
        settings.gapMs = 20;
        device = std::make_unique<SimDevice>(&line, settings);
        QObject::connect(device.get(), &SimDevice::reported,
                         [this](const QString &text, const QJsonObject &) { texts << text; });
    }
    FakeLine line;
    SimDevice::Settings settings;
    std::unique_ptr<SimDevice> device;
    QStringList texts;
};

// Waits for the device to report a line that starts with `prefix`.
bool waitForReport(DeviceRig &rig, const QString &prefix, int timeoutMs = 2000) {
    QSignalSpy spy(rig.device.get(), &SimDevice::reported);
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        for (const QString &text : qAsConst(rig.texts)) {
            if (text.startsWith(prefix))
                return true;
        }
        spy.wait(int(qMax<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

// Lets timers run for a while, for checks that something does not happen.
void runEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

QByteArray readWithin(int fd, int timeoutMs) {
    QByteArray bytes;
    pollfd poller{fd, POLLIN, 0};
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < timeoutMs && poll(&poller, 1, 10) >= 0) {
        char buffer[256];
        const ssize_t count = (poller.revents & (POLLIN | POLLHUP | POLLERR)) ? ::read(fd, buffer, sizeof buffer) : -1;
        if (count > 0)
            bytes.append(buffer, int(count));
        else if (count == 0 || (count < 0 && errno == EIO))
            return bytes + "<hangup>";
        QCoreApplication::processEvents();
    }
    return bytes;
}

int openClient(const QString &path) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    termios settings{};
    if (fd >= 0 && tcgetattr(fd, &settings) == 0) {
        cfmakeraw(&settings);
        tcsetattr(fd, TCSANOW, &settings);
    }
    return fd;
}

} // namespace

class tst_simdecoder : public QObject {
    Q_OBJECT

private slots:
    void decodesCommand_data();
    void decodesCommand();
    void decodesToJson();
    void framesTheStream_data();
    void framesTheStream();
    void survivesRandomInput();
    void reassemblesValidFramesCutAnywhere();
    void parsesFaultPlan_data();
    void parsesFaultPlan();
    void parsesOptions_data();
    void parsesOptions();
    void answersEachProbeByItsMode_data();
    void answersEachProbeByItsMode();
    void newProbeCancelsWhatIsPending();
    void echoesFromTheProbeOn();
    void streamsThenStops();
    void answersOverPseudoTerminalAndSurvivesHangUp();
};

void tst_simdecoder::decodesCommand_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("text");

    QTest::newRow("y initial") << hex("434D4479 000000 010111") << "y time=00:00:00 date=01/01/2017";
    QTest::newRow("y last second of 2099") << dateTimeCommand << "y time=23:59:59 date=31/12/2099";
    QTest::newRow("y as typed, no range check") << hex("434D4479 636363 6363FF") << "y time=99:99:99 date=99/99/2255";
    QTest::newRow("y year 0000") << hex("434D4479 070500 000030") << "y time=07:05:00 date=00/00/2048";

    QTest::newRow("z none") << hex("434D447A 00 00000000 0000") << "z type=none reading=0.0 coef=0";
    QTest::newRow("z pulse initial") << hex("434D447A 01 00000000 0140") << "z type=pulse reading=0.0 coef=3200";
    QTest::newRow("z 1234.5") << hex("434D447A 01 00003039 0140") << "z type=pulse reading=1234.5 coef=3200";
    QTest::newRow("z 0.7 exact") << hex("434D447A 01 00000007 0140") << "z type=pulse reading=0.7 coef=3200";
    QTest::newRow("z 1234567.8 exact") << hex("434D447A 01 00BC614E 0140")
                                       << "z type=pulse reading=1234567.8 coef=3200";
    QTest::newRow("z 9999999.9 exact") << hex("434D447A 01 05F5E0FF 270F")
                                       << "z type=pulse reading=9999999.9 coef=99990";
    QTest::newRow("z rs485") << hex("434D447A 02 00000000 0000") << "z type=rs485 reading=0.0 coef=0";
    QTest::newRow("z unknown type") << hex("434D447A 07 00000001 0001") << "z type=unknown(7) reading=0.1 coef=10";

    QTest::newRow("w no unit") << hex("434D4477 00 00000000") << "w units=0 addr=none analog=none";
    QTest::newRow("w one digital unit") << hex("434D4477 01 6F 00000000") << "w units=1 addr=111 analog=none";
    QTest::newRow("w three, unit 2 analog")
        << hex("434D4477 03 6F7071 00000002") << "w units=3 addr=111,112,113 analog=2";
    QTest::newRow("w eight analog") << hex("434D4477 08 6F70717273747576 000000FF")
                                    << "w units=8 addr=111,112,113,114,115,116,117,118 analog=1,2,3,4,5,6,7,8";
    QTest::newRow("w address bytes that spell CMD")
        << hex("434D4477 03 434D44 00000000") << "w units=3 addr=67,77,68 analog=none";
    QTest::newRow("w mask bit of a unit not sent")
        << hex("434D4477 01 FA 00000003") << "w units=1 addr=250 analog=1 stray-mask=0x00000002";

    const QByteArray initial = QByteArray("CMDx") + initialChannel + initialChannel + initialChannel + initialChannel;
    const QString initialText = "ch%1 addr=0 cm=0 date=01/01/2017 code=A serial=1234 more=none";
    QTest::newRow("x initial") << initial
                               << "x " + initialText.arg(1) + " | " + initialText.arg(2) + " | " + initialText.arg(3) +
                                      " | " + initialText.arg(4);
    QTest::newRow("x full serial on every channel")
        << QByteArray("CMDx") + hex("01020F0610420001869F3000 02020F0610420001869F4000") + initialChannel +
               hex("0104FFFFFF000000FFFF3204")
        << "x ch1 addr=1 cm=2 date=15/06/2016 code=B serial=99999 more=3"
           " | ch2 addr=2 cm=2 date=15/06/2016 code=B serial=99999 more=4"
           " | ch3 addr=0 cm=0 date=01/01/2017 code=A serial=1234 more=none"
           " | ch4 addr=1 cm=4 date=255/255/2255 code=- serial=65535 more=2,3,4";
}

void tst_simdecoder::decodesCommand() {
    QFETCH(QByteArray, frame);
    QFETCH(QString, text);
    const FrameHead head = inspectFrameHead(frame);
    QCOMPARE(head.status, FrameHead::Known);
    QCOMPARE(head.length, frame.size());
    QCOMPARE(decodeCommand(frame).text, text);
}

void tst_simdecoder::decodesToJson() {
    const QJsonObject y = decodeCommand(dateTimeCommand).json;
    QCOMPARE(y.value("letter").toString(), QStringLiteral("y"));
    QCOMPARE(y.value("year").toInt(), 2099);
    QCOMPARE(y.value("seconds").toInt(), 59);

    const QJsonObject w = decodeCommand(hex("434D4477 03 6F7071 00000002")).json;
    QCOMPARE(w.value("addresses").toArray(), QJsonArray({111, 112, 113}));
    QCOMPARE(w.value("analog").toArray(), QJsonArray({2}));

    const QJsonObject z = decodeCommand(hex("434D447A 01 00BC614E 0140")).json;
    QCOMPARE(z.value("tenths").toInt(), 12345678);
    QCOMPARE(z.value("coef").toInt(), 3200);

    const QByteArray x =
        QByteArray("CMDx") + initialChannel + initialChannel + initialChannel + hex("04011F0C63000001869F0000");
    const QJsonObject channel4 = decodeCommand(x).json.value("channels").toArray().at(3).toObject();
    QCOMPARE(channel4.value("serial").toInt(), 99999);
    QCOMPARE(channel4.value("date").toString(), QStringLiteral("31/12/2099"));
    QCOMPARE(channel4.value("code").toString(), QStringLiteral("-"));

    QCOMPARE(decodeCommand(hex("434D4479 0000")).letter, '\0');
}

void tst_simdecoder::framesTheStream_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("texts");
    const QByteArray y = dateTimeCommand;
    const QString yText = "y time=23:59:59 date=31/12/2099";
    const QByteArray z = hex("434D447A 01 00003039 0140");
    const QString zText = "z type=pulse reading=1234.5 coef=3200";

    QTest::newRow("probe, answer gap, command") << QList<QByteArray>{probeText, {}, y} << QStringList{"probe", yText};
    QTest::newRow("two commands in one read") << QList<QByteArray>{y + z} << QStringList{yText, zText};
    QTest::newRow("command in three reads")
        << QList<QByteArray>{y.left(2), y.mid(2, 5), y.mid(7)} << QStringList{yText + " (arrived in 3 pieces)"};
    QTest::newRow("probe in two reads") << QList<QByteArray>{"ZEVR-3", "G-Config"}
                                        << QStringList{"probe (arrived in 2 pieces)"};
    QTest::newRow("'w' whose count comes later") << QList<QByteArray>{"CMDw", hex("016F 00000000")}
                                                 << QStringList{"w units=1 addr=111 analog=none (arrived in 2 pieces)"};
    QTest::newRow("command cut by a quiet gap")
        << QList<QByteArray>{y.left(6), {}, y.mid(6)}
        << QStringList{"truncated 'y' command, 6 of 10 bytes: 43 4D 44 79 17 3B", "junk, 4 bytes: 3B 1F 0C 63"};
    QTest::newRow("junk between commands") << QList<QByteArray>{"ab" + y + "cd" + z}
                                           << QStringList{"junk, 2 bytes: 61 62", yText, "junk, 2 bytes: 63 64", zText};
    QTest::newRow("unknown letter, then a command")
        << QList<QByteArray>{"CMDq" + hex("0102") + y}
        << QStringList{"unknown command letter 'q' (0x71): 43 4D 44 71 01 02", yText};
    QTest::newRow("unknown letter at the end")
        << QList<QByteArray>{"CMD" + hex("00FF")} << QStringList{"unknown command letter 0x00: 43 4D 44 00 FF"};
    QTest::newRow("'w' with nine units") << QList<QByteArray>{"CMDw" + hex("09 01") + z}
                                         << QStringList{
                                                "unknown 'w' command with 9 units (at most 8): 43 4D 44 77 09 01",
                                                zText};
    QTest::newRow("prefix alone") << QList<QByteArray>{"CMD"}
                                  << QStringList{"truncated command without its letter: 43 4D 44"};
    QTest::newRow("'w' without its count")
        << QList<QByteArray>{"CMDw"} << QStringList{"truncated 'w' command without its unit count: 43 4D 44 77"};
    const QByteArray shortX = QByteArray("CMDx") + initialChannel + initialChannel + initialChannel + initialChannel;
    QTest::newRow("'x' short by its last byte")
        << QList<QByteArray>{shortX.left(51)}
        << QStringList{"truncated 'x' command, 51 of 52 bytes: " + shortX.left(51).toHex(' ').toUpper()};
    QTest::newRow("long junk is cut in the line")
        << QList<QByteArray>{QByteArray(70, '.')}
        << QStringList{"junk, 70 bytes: " + QByteArray(64, '.').toHex(' ').toUpper() + " … (6 more)"};
    QTest::newRow("probe cut short") << QList<QByteArray>{"ZEVR-3G"}
                                     << QStringList{"truncated probe, 7 of 14 bytes: 5A 45 56 52 2D 33 47"};
    QTest::newRow("junk ending in half a prefix")
        << QList<QByteArray>{"xxCM"} << QStringList{"junk, 4 bytes: 78 78 43 4D"};
    QTest::newRow("junk, then probe") << QList<QByteArray>{"\r\n" + probeText}
                                      << QStringList{"junk, 2 bytes: 0D 0A", "probe"};
}

void tst_simdecoder::framesTheStream() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, texts);
    QCOMPARE(streamTexts(chunks), texts);
}

namespace {

QByteArray randomFrame(QRandomGenerator &random) {
    switch (random.bounded(4)) {
    case 0: {
        const int units = random.bounded(9);
        QByteArray frame = "CMDw" + QByteArray(1, char(units));
        for (int i = 0; i < units + 4; ++i)
            frame += char(random.bounded(256));
        return frame;
    }
    case 1:
        return "CMDx" + QByteArray(48, char(random.bounded(256)));
    case 2:
        return "CMDy" + QByteArray(6, char(random.bounded(256)));
    default:
        return probeText;
    }
}

// Valid frames, broken frames, markers and noise, so that every path of the framer is walked.
QByteArray randomFragment(QRandomGenerator &random) {
    const QByteArray frame = randomFrame(random);
    switch (random.bounded(5)) {
    case 0:
        return frame.left(random.bounded(frame.size()));
    case 1:
        return "CMD" + QByteArray(1, char(random.bounded(256)));
    case 2: {
        QByteArray noise(random.bounded(1, 40), 0);
        for (char &byte : noise)
            byte = char(random.bounded(256));
        return noise;
    }
    default:
        return frame;
    }
}

} // namespace

// Whatever arrives, every byte is accounted for exactly once and in order, and nothing crashes.
void tst_simdecoder::survivesRandomInput() {
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int round = 0; round < 300; ++round) {
        CommandStream stream;
        QByteArray fed, accounted;
        for (int i = random.bounded(1, 30); i > 0; --i) {
            const QByteArray fragment = randomFragment(random);
            fed += fragment;
            for (const StreamEvent &event : stream.feed(fragment)) {
                accounted += event.bytes;
                QVERIFY2(!event.toText().isEmpty(), qPrintable(QStringLiteral("seed %1").arg(seed)));
            }
            if (random.bounded(4) == 0) {
                for (const StreamEvent &event : stream.endOfBurst())
                    accounted += event.bytes;
            }
        }
        for (const StreamEvent &event : stream.endOfBurst())
            accounted += event.bytes;
        QVERIFY2(accounted == fed, qPrintable(QStringLiteral("seed %1, round %2").arg(seed).arg(round)));
        QVERIFY(stream.isEmpty());
    }
}

// A burst of whole frames comes out frame by frame however the reads cut it.
void tst_simdecoder::reassemblesValidFramesCutAnywhere() {
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator random(seed);
    for (int round = 0; round < 300; ++round) {
        QList<QByteArray> frames;
        QByteArray burst;
        for (int i = random.bounded(1, 8); i > 0; --i) {
            frames << randomFrame(random);
            burst += frames.last();
        }
        CommandStream stream;
        QList<QByteArray> out;
        for (int at = 0; at < burst.size();) {
            const int length = random.bounded(1, 20);
            for (const StreamEvent &event : stream.feed(burst.mid(at, length))) {
                QVERIFY(event.kind == StreamEvent::Command || event.kind == StreamEvent::Probe);
                out << event.bytes;
            }
            at += length;
        }
        QVERIFY2(out == frames, qPrintable(QStringLiteral("seed %1, round %2").arg(seed).arg(round)));
        QVERIFY(stream.endOfBurst().isEmpty());
    }
}

void tst_simdecoder::parsesFaultPlan_data() {
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("names");

    QTest::newRow("every mode") << "ok, silent,delay:700,split,echo,stream:100,hangup" << true
                                << "ok silent delay:700 split:50 echo stream:100 hangup";
    QTest::newRow("bare durations take defaults") << "delay,stream" << true << "delay:300 stream:1500";
    QTest::newRow("unknown mode") << "ok,fast" << false << "";
    QTest::newRow("duration on a mode without one") << "silent:5" << false << "";
    QTest::newRow("negative duration") << "delay:-1" << false << "";
    QTest::newRow("not a number") << "split:x" << false << "";
    QTest::newRow("empty list") << "" << false << "";
    QTest::newRow("empty item") << "ok,,silent" << false << "";
}

void tst_simdecoder::parsesFaultPlan() {
    QFETCH(QString, list);
    QFETCH(bool, valid);
    QFETCH(QString, names);
    FaultPlan plan;
    QString error;
    QCOMPARE(FaultPlan::parse(list, FaultDurations(), &plan, &error), valid);
    QCOMPARE(error.isEmpty(), valid);
    if (!valid)
        return;
    QStringList actual;
    for (int probe = 0; probe < plan.steps().size(); ++probe)
        actual << plan.stepFor(probe).name();
    QCOMPARE(actual.join(' '), names);
    QCOMPARE(plan.stepFor(plan.steps().size()).name(), plan.stepFor(0).name());
}

void tst_simdecoder::parsesOptions_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("plan"); // empty: the arguments are refused

    QTest::newRow("nothing") << QStringList{} << "ok";
    QTest::newRow("silent") << QStringList{"--silent"} << "silent";
    QTest::newRow("delay") << QStringList{"--delay", "500"} << "delay:500";
    QTest::newRow("cycle takes the durations")
        << QStringList{"--cycle", "delay,split,ok", "--delay", "90", "--split", "7"} << "delay:90 split:7 ok";
    QTest::newRow("two modes without a cycle") << QStringList{"--silent", "--echo"} << "";
    QTest::newRow("a mode beside a cycle") << QStringList{"--hangup", "--cycle", "ok"} << "";
    QTest::newRow("bad delay") << QStringList{"--delay", "soon"} << "";
    QTest::newRow("unknown option") << QStringList{"--loud"} << "";
    QTest::newRow("stray argument") << QStringList{"/dev/ttyS0"} << "";
    QTest::newRow("link with a port") << QStringList{"--port", "/dev/ttyS0", "--link", "x"} << "";
}

void tst_simdecoder::parsesOptions() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, plan);
    SimOptions options;
    QString error;
    const bool parsed = SimOptions::parse(QStringList{"zevr-sim"} + arguments, &options, &error);
    QCOMPARE(parsed, !plan.isEmpty());
    if (!parsed) {
        QVERIFY(!error.isEmpty());
        return;
    }
    QStringList names;
    for (const FaultStep &step : options.device.plan.steps())
        names << step.name();
    QCOMPARE(names.join(' '), plan);
    QCOMPARE(options.device.answer, QByteArray("ZEVR-3G OK"));
}

void tst_simdecoder::answersEachProbeByItsMode_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<QByteArray>>("writes");
    QTest::addColumn<int>("hangUps");

    QTest::newRow("ok") << "ok" << QList<QByteArray>{"ZEVR-3G OK"} << 0;
    QTest::newRow("silent") << "silent" << QList<QByteArray>{} << 0;
    QTest::newRow("delay") << "delay:30" << QList<QByteArray>{"ZEVR-3G OK"} << 0;
    QTest::newRow("split") << "split:30" << QList<QByteArray>{"ZEV", "R-3G OK"} << 0;
    QTest::newRow("echo") << "echo" << QList<QByteArray>{probeText} << 0;
    QTest::newRow("hangup") << "hangup" << QList<QByteArray>{"ZEVR-3G OK"} << 1;
}

void tst_simdecoder::answersEachProbeByItsMode() {
    QFETCH(QString, mode);
    QFETCH(QList<QByteArray>, writes);
    QFETCH(int, hangUps);
    DeviceRig rig(mode);
    rig.line.send(probeText);
    QVERIFY(waitForReport(rig, "probe #1 mode=" + mode));
    runEventsFor(150); // longer than every delayed part
    QCOMPARE(rig.line.written, writes);
    QCOMPARE(rig.line.hangUps, hangUps);
}

void tst_simdecoder::newProbeCancelsWhatIsPending() {
    DeviceRig rig("delay:100,ok");
    rig.line.send(probeText);
    rig.line.send(probeText);
    runEventsFor(250);
    QCOMPARE(rig.line.written, QList<QByteArray>{"ZEVR-3G OK"});
    QCOMPARE(rig.texts, (QStringList{"probe #1 mode=delay:100", "probe #2 mode=ok", "answer #2 \"ZEVR-3G OK\""}));
}

void tst_simdecoder::echoesFromTheProbeOn() {
    DeviceRig rig("echo");
    rig.line.send("xx");
    rig.line.send(probeText + dateTimeCommand + "yy");
    QVERIFY(waitForReport(rig, "junk, 2 bytes: 79 79"));
    QCOMPARE(rig.line.written, (QList<QByteArray>{"xx", probeText, dateTimeCommand, "yy"}));
    QVERIFY(rig.texts.contains("y time=23:59:59 date=31/12/2099"));
}

void tst_simdecoder::streamsThenStops() {
    DeviceRig rig("stream:60");
    rig.line.send(probeText);
    QVERIFY(waitForReport(rig, "stream #1 ends after 60 ms"));
    const int written = rig.line.written.size();
    QVERIFY2(written > 5, qPrintable(QString::number(written)));
    QCOMPARE(rig.line.written.first(), QByteArray("ZEVR-3G OK"));
    runEventsFor(50);
    QCOMPARE(rig.line.written.size(), written);
}

void tst_simdecoder::answersOverPseudoTerminalAndSurvivesHangUp() {
    PtyLine line;
    QString error;
    QVERIFY2(line.open(&error), qPrintable(error));
    QVERIFY(line.path().startsWith("/dev/pts/"));
    SimDevice::Settings settings;
    QVERIFY(FaultPlan::parse("hangup,ok", FaultDurations(), &settings.plan, &error));
    SimDevice device(&line, settings);
    QSignalSpy paths(&line, &SimLine::pathChanged);
    QStringList texts;
    connect(&device, &SimDevice::reported, this, [&texts](const QString &text) { texts << text; });

    int client = openClient(line.path());
    QVERIFY(client >= 0);
    QCOMPARE(::write(client, probeText.constData(), size_t(probeText.size())), ssize_t(probeText.size()));
    QCOMPARE(readWithin(client, 1000), QByteArray("ZEVR-3G OK<hangup>"));
    ::close(client);

    // Hung up in place the name stays; otherwise the line comes back under the name it reports.
    const QString path = paths.isEmpty() ? line.path() : paths.last().first().toString();
    QCOMPARE(path, line.path());
    client = openClient(path);
    QVERIFY(client >= 0);
    const QByteArray burst = probeText;
    QCOMPARE(::write(client, burst.constData(), size_t(burst.size())), ssize_t(burst.size()));
    QCOMPARE(readWithin(client, 200), QByteArray("ZEVR-3G OK"));
    QCOMPARE(::write(client, dateTimeCommand.constData(), 10), ssize_t(10));
    readWithin(client, 100);
    ::close(client);
    QCOMPARE(texts.mid(0, 3),
             (QStringList{"probe #1 mode=hangup", "answer #1 \"ZEVR-3G OK\"", "hangup #1: line dropped"}));
    QVERIFY(texts.contains("y time=23:59:59 date=31/12/2099"));
}

QTEST_GUILESS_MAIN(tst_simdecoder)
#include "tst_simdecoder.moc"
