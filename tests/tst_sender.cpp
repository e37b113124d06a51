#include "protocol/commanddescription.h"
#include "sender/sendoptions.h"
#include "sender/sendoutput.h"
#include "sender/unitrecord.h"
#include "serial/serialthread.h"
#include "support/settingstestsupport.h"
#include "support/xsession.h"
#include "tools/zevr-sim/simprocess.h"
#include "workfiles/settingsfile.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <cerrno>
#include <cstring>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *const profileText = "version=1\n"
                                "[station]\nunit1=on\nunit2=on\nunit2.control=4-20\n"
                                "[time]\ntime=23:59:59\ndate=31/12/2099\n"
                                "[meter]\ntype=pulse\nreading=0001234.5\n";
const QString w = "434D4477026F7000000002", y = "434D4479173B3B1F0C63", z = "434D447A01000030390140";

QStringList success(const QString &path, const QString &baud = "115200") {
    const QString name = path.mid(5);
    // The sender holds its one port for the whole run, so the report does not say it was closed.
    return {"Открыт " + path + '-' + baud + "-8-0-1-Нет", "Обнаружено устройство", "Отправка сообщения",
            "Отправлено. " + name};
}

QStringList notFound(const QString &path) {
    return {"Открыт " + path + "-115200-8-0-1-Нет", "Устройство не обнаружено"};
}

struct Run {
    int code = -1;
    QStringList out;
    QString err;
};

QVector<QJsonObject> simEvents(const SimProcess &sim, const QString &kind) {
    QVector<QJsonObject> found;
    for (const QJsonObject &event : sim.events())
        if (event.value("event").toString() == kind)
            found << event;
    return found;
}

QStringList simCommands(const SimProcess &sim) {
    QStringList commands;
    for (const QJsonObject &command : simEvents(sim, "command"))
        commands << command.value("hex").toString();
    return commands;
}

QVector<QJsonObject> records(const QString &path) {
    QVector<QJsonObject> lines;
    for (const QByteArray &line : readFileBytes(path).split('\n'))
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    return lines;
}

// Ctrl+C to the sender alone; not to one that has ended, whose process id 0 would name the test's own group.
void interrupt(QProcess &process) {
    if (process.state() == QProcess::Running)
        ::kill(pid_t(process.processId()), SIGINT);
}

// A group of its own, so that a run that hangs is ended with whatever its wrapper (faketime, prlimit) started.
class GroupProcess : public QProcess {
protected:
    void setupChildProcess() override { ::setpgid(0, 0); }
};

// Lets the simulator print what it received by the time the sender has ended.
void settle(SimProcess &sim, int probes) {
    waitUntil(1000, [&] { return simEvents(sim, "probe").size() >= probes; });
    QTest::qWait(100);
}

} // namespace

class tst_sender : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<QTemporaryDir>();
        m_sim = std::make_unique<SimProcess>();
        m_wrapper.clear();
        QVERIFY(writeFileBytes(m_dir->filePath("station.ini"), profileText));
        // The workstation's clock needs no [time] in the profile; the other tabs do.
        QVERIFY(writeFileBytes(m_dir->filePath("clockless.ini"), "version=1\n[meter]\n"));
        QVERIFY(
            writeFileBytes(m_dir->filePath("impossible.ini"), "version=1\n[time]\ntime=25:61:00\ndate=31/02/2026\n"));
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir->filePath("fifo")).constData(), 0644), 0);
        QFile large(m_dir->filePath("large.ini")); // sparse: it takes no room on the disk
        QVERIFY(large.open(QIODevice::WriteOnly) && large.resize((64 << 20) + 1));
    }

    void options_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("parsed"); // the fields that differ from the defaults, or "!" and the refusal
        const QStringList base{"--profile", "p.ini", "--tab", "time"}, wait = base + QStringList{"--wait"};
        QTest::newRow("defaults") << base << "";
        for (const QString &tab : {"station=1", "meter=4", "all=7"})
            QTest::addRow("--tab %s", qPrintable(tab))
                << QStringList{"--profile", "p.ini", "--tab", tab.section('=', 0, 0)} << "tabs=" + tab.section('=', 1);
        QTest::newRow("every flag") << base + QStringList{"--auto", "--now", "--json", "--wait"}
                                    << "auto=1 now=1 json=1 wait=1";
        QTest::newRow("every value") << wait + QStringList{"--port",   "ttyS1",   "--settings", "s.ini",
                                                           "--record", "r.jsonl", "--units",    "5",
                                                           "--gone",   "6",       "--poll",     "70"}
                                     << "wait=1 port=ttyS1 settings=s.ini record=r.jsonl units=5 gone=6 poll=70";
        // Given twice, the later value counts, as a script that appends an override expects.
        QTest::newRow("repeated") << base + QStringList{"--tab", "meter", "--port", "a", "--port", "b"}
                                  << "tabs=4 port=b";
        QTest::newRow("help alone") << QStringList{"--help"} << "profile= tabs=0 help=1";
        const struct {
            const char *name;
            int low, high;
        } numbers[] = {{"units", 1, 1000000}, {"gone", 0, 600000}, {"poll", 10, 60000}};
        for (const auto &number : numbers) {
            const QString name = number.name, wrong = QStringLiteral("!--%1: нужно целое число от %2 до %3");
            for (int value : {number.low, number.high})
                QTest::addRow("--%s %d", number.name, value) << wait + QStringList{"--" + name, QString::number(value)}
                                                             << QStringLiteral("wait=1 %1=%2").arg(name).arg(value);
            for (const QString &value :
                 {QString::number(number.low - 1), QString::number(number.high + 1), QString("1e3")})
                QTest::addRow("--%s %s", number.name, qPrintable(value))
                    << wait + QStringList{"--" + name, value} << wrong.arg(name).arg(number.low).arg(number.high);
            QTest::addRow("--%s without --wait", number.name)
                << base + QStringList{"--" + name, "2"} << "!--" + name + " действует только вместе с --wait";
        }
        for (const char *name : {"profile", "tab", "port", "settings", "record", "units", "gone", "poll"}) {
            const QString option = QStringLiteral("--") + name;
            QTest::addRow("%s, value missing at the end", name)
                << wait + QStringList{option} << "!" + option + ": не указано значение";
            QTest::addRow("%s, an option for its value", name)
                << wait + QStringList{option, "--json"}
                << "!" + option + ": не указано значение (следом стоит параметр «--json»)";
            QTest::addRow("%s, value empty", name)
                << wait + QStringList{option, ""} << "!" + option + ": значение пустое";
        }
        QTest::newRow("no tab") << QStringList{"--profile", "p.ini"} << "!нужны --profile и --tab";
        QTest::newRow("no profile") << QStringList{"--tab", "all"} << "!нужны --profile и --tab";
        QTest::newRow("unknown tab") << QStringList{"--profile", "p.ini", "--tab", "clock"}
                                     << "!--tab: station, time, meter или all, а не «clock»";
        QTest::newRow("port and search") << base + QStringList{"--auto", "--port", "x"}
                                         << "!--port и --auto исключают друг друга";
        QTest::newRow("unknown option") << base + QStringList{"--colour"} << "!неизвестный параметр «--colour»";
        QTest::newRow("unknown option, JSON asked with one dash")
            << base + QStringList{"-json", "--colour"} << "!неизвестный параметр «--colour»";
        QTest::newRow("value to a flag") << base + QStringList{"--auto=yes"}
                                         << "!--auto: у этого параметра нет значения";
        QTest::newRow("stray argument") << base + QStringList{"x.ini"} << "!лишний аргумент «x.ini»";
        // A file whose name starts with "-" is named "./-name".
        QTest::newRow("file named like an option") << base + QStringList{"--record", "./--json"} << "record=./--json";
    }

    // The parser alone, every option with its value missing, repeated and at its bounds; a usage error still tells
    // whether JSON was asked for, so that the error comes in that form.
    void options() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, parsed);
        SendOptions options;
        QString error;
        const bool ok = SendOptions::parse(QStringList{"zevr3g-send"} + arguments, &options, &error);
        QCOMPARE(options.json, arguments.contains("--json") || arguments.contains("-json"));
        if (parsed.startsWith('!')) {
            QCOMPARE(error, parsed.mid(1));
            QVERIFY(!ok);
            return;
        }
        QVERIFY2(ok, qPrintable(error));
        const auto fields = [](const SendOptions &o) {
            QMap<QString, QString> map{{"profile", o.profile},
                                       {"tabs", QString::number(o.tabs)},
                                       {"port", o.port},
                                       {"settings", o.settings},
                                       {"record", o.record},
                                       {"units", QString::number(o.units)},
                                       {"gone", QString::number(o.goneMs)},
                                       {"poll", QString::number(o.pollMs)}};
            const bool flags[] = {o.autoSearch, o.now, o.json, o.wait, o.help, o.version};
            for (int index = 0; index < 6; ++index)
                map.insert(QString("auto now json wait help version").section(' ', index, index),
                           QString::number(flags[index]));
            return map;
        };
        QMap<QString, QString> expected = fields(SendOptions());
        expected.insert("profile", "p.ini");
        expected.insert("tabs", "2");
        for (const QString &field : parsed.split(' ', Qt::SkipEmptyParts))
            expected.insert(field.section('=', 0, 0), field.section('=', 1));
        QCOMPARE(fields(options), expected);
    }

    void refusedBeforeTheLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QStringList &arguments, int code, const QString &message) {
            QTest::newRow(name) << arguments << code << message;
        };
        const QStringList all = {"--tab", "all", "--port", "%1"}, station = {"--profile", "station.ini"};
        row("no such profile", QStringList{"--profile", "none.ini"} + all, 3, "профиль none.ini не открыт: файла нет");
        row("tab the profile lacks", QStringList{"--profile", "clockless.ini"} + all, 3,
            "в профиле нет раздела [station]");
        // What the window would refuse goes nowhere from a profile either.
        row("time no clock holds", {"--profile", "impossible.ini", "--tab", "time", "--port", "%1"}, 3,
            "строка 3: time — час 25 не бывает, нужен 0–23");
        row("unknown tab", station + QStringList{"--tab", "clock"}, 2,
            "--tab: station, time, meter или all, а не «clock»\nСправка: zevr3g-send --help");
        // Read only up to a limit, its last pair would be cut.
        row("settings file too large", station + QStringList{"--tab", "all", "--settings", "large.ini"}, 2,
            "файл настроек large.ini не читается: файл больше 64 МиБ");
        // A FIFO without a reader would block the open; one with a reader, or a device, would take the lines away.
        row("record a FIFO", station + all + QStringList{"--record", "fifo"}, 2,
            "--record: fifo не годится для записи: это не обычный файл, а канал (FIFO)");
        row("record in a missing folder", station + all + QStringList{"--record", "none/u"}, 2,
            "--record: none/u не годится для записи: нет такого файла или устройства (No such file or directory)");
        // The version is the one the build was configured with, as the window's "О программе" shows it.
        row("version", {"--version"}, 0, "zevr3g-send " ZEVR_PROJECT_VERSION);
        // The search off and no port: the line says what to give instead of "  не открыт".
        row("no port named", station + QStringList{"--tab", "time", "--settings", "noport.ini"}, 4,
            "Порт не выбран: укажите --port или --auto либо «COM Port» в settings.ini");
        // A workstation whose clock battery died says 1999 (a leading "@" sets the sender's clock): the time is refused
        // with its reason, while waiting for units too, and nothing goes out.
        const QStringList clock = {
            "@1999-12-31 23:59:00", "--profile", "clockless.ini", "--tab", "time", "--now", "--port", "%1"};
        const QString year = "Команда не отправлена: дата — год 1999 вне диапазона 2000–2255";
        row("workstation clock in 1999", clock, 3, year);
        row("workstation clock in 1999, waiting for units", clock + QStringList{"--wait"}, 3, year);
    }

    // Nothing reaches the line before the whole run is known to be sound.
    void refusedBeforeTheLine() {
        QFETCH(QStringList, arguments);
        QVERIFY(startSim() && writeFileBytes(m_dir->filePath("noport.ini"), "COM Port\r\n\r\nCOM Auto\r\nfalse\r\n"));
        arguments.replaceInStrings("%1", m_sim->path());
        if (arguments.first().startsWith('@'))
            m_wrapper = QStringList{"faketime", "-f", arguments.takeFirst()};
        const Run run = send(arguments);
        QTEST(run.code, "code");
        QFETCH(QString, message);
        // A report, as the status bar would show it; a refused command is one too.
        if (run.code == 0 || run.code == 4 || message.startsWith("Команда не отправлена"))
            QCOMPARE(run.out.join('\n'), message);
        else
            QVERIFY2(run.err.contains(message) && run.out.isEmpty(), qPrintable(run.err));
        QTest::qWait(100);
        QCOMPARE(simEvents(*m_sim, "probe").size(), 0);
        QCOMPARE(QFileInfo(m_dir->filePath("station.ini")).size(), qint64(strlen(profileText)));
        QVERIFY(QFileInfo(m_dir->filePath("fifo")).isReadable() && !QFileInfo(m_dir->filePath("fifo")).isFile());
    }

    // The record's fields as a script reads them back: their names, their JSON types and their exact formats. The port
    // is the last one tried; every attempt keeps its own port and reason.
    void recordFields() {
        UnitRecord::Unit unit;
        unit.started = QDateTime(QDate(2026, 12, 6), QTime(14, 5, 7, 120), Qt::OffsetFromUTC, 3 * 3600);
        unit.profilePath = "station.ini";
        unit.tabs = SendOptions::Meter;
        unit.code = UnitRecord::exitCodeOf(SerialThread::Outcome::NotFound);
        Transmission sent, lost;
        sent.command = QByteArray::fromHex(z.toLatin1());
        sent.outcome = SerialThread::Outcome::Sent;
        sent.attempts = {{"/dev/ttyUSB0", "не открыт: нет прав доступа"}, {"/dev/ttyUSB1", "отправлено"}};
        lost.command = QByteArray::fromHex(y.toLatin1());
        lost.attempts = {{"/dev/ttyS0", "устройство не ответило"}};
        unit.transmissions = {sent, lost};
        unit.notSent = {QByteArray::fromHex(w.toLatin1())};
        const QJsonObject record = UnitRecord::toJson(unit);
        const QString expected =
            QString(R"({"time": "2026-12-06T14:05:07.120+03:00", "port": "/dev/ttyS0",
            "profile": "%1", "tab": "meter", "outcome": "not_found", "commands": [
            {"command": "%2", "bytes": "43 4D 44 7A 01 00 00 30 39 01 40", "outcome": "sent", "attempts": [
                {"port": "/dev/ttyUSB0", "result": "не открыт: нет прав доступа"},
                {"port": "/dev/ttyUSB1", "result": "отправлено"}]},
            {"command": "%3", "bytes": "43 4D 44 79 17 3B 3B 1F 0C 63", "outcome": "not_found", "attempts": [
                {"port": "/dev/ttyS0", "result": "устройство не ответило"}]},
            {"command": "%4", "bytes": "43 4D 44 77 02 6F 70 00 00 00 02", "outcome": "not_sent"}]})")
                .arg(QDir::current().absoluteFilePath("station.ini"), describeCommand(sent.command),
                     describeCommand(lost.command), describeCommand(unit.notSent[0]));
        QCOMPARE(record, QJsonDocument::fromJson(expected.toUtf8()).object());
        QCOMPARE(UnitRecord::pollSummary(sent), "/dev/ttyUSB0: не открыт: нет прав доступа; /dev/ttyUSB1: отправлено");
        const QString outcomes[][2] = {{"sent", "0"}, {"send_failed", "1"}, {"refused", "3"}, {"interrupted", "5"}};
        for (const auto &outcome : outcomes) {
            unit.code = outcome[1].toInt();
            QCOMPARE(UnitRecord::toJson(unit)["outcome"].toString(), outcome[0]);
        }
        // Each command's outcome by name, and the exit code it gives a unit that ends on it.
        using Outcome = SerialThread::Outcome;
        const std::tuple<Outcome, QString, int> commandOutcomes[] = {{Outcome::Sent, "sent", 0},
                                                                     {Outcome::SendFailed, "send_failed", 1},
                                                                     {Outcome::NotFound, "not_found", 4},
                                                                     {Outcome::NoPort, "no_port", 4},
                                                                     {Outcome::Cancelled, "interrupted", 5}};
        for (const auto &[outcome, name, code] : commandOutcomes) {
            unit.transmissions[1].outcome = outcome;
            QCOMPARE(UnitRecord::toJson(unit).value("commands")[1]["outcome"].toString(), name);
            QCOMPARE(UnitRecord::exitCodeOf(outcome), code);
        }
        const QPair<int, QString> tabs[] = {
            {SendOptions::Station, "station"}, {SendOptions::Clock, "time"}, {SendOptions::AllTabs, "all"}};
        for (const auto &tab : tabs) {
            unit.tabs = tab.first;
            QCOMPARE(UnitRecord::toJson(unit)["tab"].toString(), tab.second);
        }
    }

    // With --json every event goes to standard output, with its own fields and the time it was said.
    void outputLines() {
        QTemporaryFile out, err;
        QVERIFY(out.open() && err.open());
        {
            std::FILE *outFile = ::fdopen(::dup(out.handle()), "w"), *errFile = ::fdopen(::dup(err.handle()), "w");
            SendOutput output(true, outFile, errFile);
            output.report("Отправлено. ttyS0");
            output.attemptFailed("ttyS1", "не открыт");
            output.notice("ожидание");
            output.unit({{"code", 0}, {"outcome", "sent"}});
            output.recordFailed("u.jsonl", "нет места");
            output.usageError("лишний аргумент «x»");
            output.exitCode(6);
            std::fclose(outFile);
            std::fclose(errFile);
        }
        QCOMPARE(readFileBytes(err.fileName()), QByteArray());
        // Every JSON event carries the time it was said, to the millisecond and with the offset.
        const QRegularExpression time(R"re(,"t":"\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)")re");
        QString said = QString::fromLocal8Bit(readFileBytes(out.fileName())).trimmed();
        QCOMPARE(said.count(time), 7);
        QCOMPARE(said.remove(time), QString(R"({"event":"report","text":"Отправлено. ttyS0"}
{"event":"attempt","port":"ttyS1","reason":"не открыт"}
{"event":"notice","text":"ожидание"}
{"code":0,"event":"unit","outcome":"sent"}
{"event":"record_failed","file":"u.jsonl","reason":"нет места"}
{"event":"usage","text":"лишний аргумент «x»"}
{"code":6,"event":"exit"})"));
    }

    // Without a port the settings file decides, as in the program (another one named by --settings is read the same
    // way), and the sender creates nothing of its own, in JSON mode too. With --now the workstation's clock goes as the
    // command leaves.
    void settingsJsonAndTheWorkstationClock() {
        QVERIFY(startSim());
        const QByteArray settings = "COM Port\r\n" + m_sim->path().toUtf8() +
                                    "\r\nBaudRate\r\n9600\r\nParity\r\nnone\r\n"
                                    "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\nfalse\r\n";
        QVERIFY(writeFileBytes(m_dir->filePath("settings.ini"), settings));
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
        const Run run = send({"--profile", "clockless.ini", "--tab", "time", "--now", "--json"});
        const QDateTime after = QDateTime::currentDateTime();
        QCOMPARE(run.code, 0);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList({"clockless.ini", "impossible.ini", "large.ini", "settings.ini", "station.ini"}));
        QCOMPARE(readFileBytes(m_dir->filePath("settings.ini")), settings);
        QStringList texts;
        QJsonObject last;
        for (const QString &line : run.out) {
            QJsonParseError parse;
            last = QJsonDocument::fromJson(line.toUtf8(), &parse).object();
            QVERIFY2(parse.error == QJsonParseError::NoError, qPrintable(line));
            if (last.value("event") == "report")
                texts << last.value("text").toString();
        }
        QCOMPARE(texts, success(m_sim->path(), "9600"));
        QCOMPARE(last, (QJsonObject{{"event", "exit"}, {"code", 0}, {"t", last.value("t")}}));
        settle(*m_sim, 1);
        const QVector<QJsonObject> commands = simEvents(*m_sim, "command");
        QCOMPARE(commands.size(), 1);
        const QDateTime sent = QDateTime::fromString(commands.last().value("date").toString() + ' ' +
                                                         commands.last().value("time").toString(),
                                                     "dd/MM/yyyy hh:mm:ss");
        QVERIFY2(sent >= before && sent <= after, qPrintable(sent.toString()));
    }

    void units_data() {
        QTest::addColumn<QStringList>("simArguments");
        QTest::addColumn<QStringList>("depot"); // a depot's options; empty for one unit
        QTest::addColumn<int>("probes");        // the controller has seen this many by the end, or when Ctrl+C comes
        QTest::addColumn<bool>("ctrlC");
        QTest::addColumn<int>("code");
        QTest::addColumn<QStringList>("recorded"); // the unit's outcome and its commands', one record each
        // The second command goes unanswered, which ends the unit; answers' timing and shape are the worker's tests.
        QTest::newRow("unit cut short") << QStringList{"--cycle", "ok,silent"} << QStringList() << 2 << false << 4
                                        << QStringList{"not_found sent not_found not_sent"};
        // A depot swaps units on one line: each is served once, and the next only after the line fell quiet. Three
        // commands, a probe that finds the unit still there, one that finds the line quiet, and again. The silent probe
        // waits longer for its answer than --gone asks the line to be quiet.
        QTest::newRow("depot, unit after unit")
            << QStringList{"--cycle", "ok,ok,ok,ok,silent"}
            << QStringList{"--wait", "--units", "2", "--gone", "500", "--poll", "20"} << 8 << false << 0
            << QStringList{"sent sent sent sent", "sent sent sent sent"};
        // A unit that pauses right after its commands, for less than --gone, is still the same unit: it is not
        // configured twice, however long ago the line was last quiet. A silent probe waits 1000 ms for its answer.
        QTest::newRow("depot, a unit that pauses")
            << QStringList{"--cycle", "ok,ok,ok,silent,silent,ok,ok,ok,silent,ok,silent,silent,ok,ok,ok"}
            << QStringList{"--wait", "--units", "3", "--gone", "1500", "--poll", "20"} << 15 << false << 0
            << QStringList{"sent sent sent sent", "sent sent sent sent", "sent sent sent sent"};
        // Stopped before any unit, the run failed; between units, nothing is lost; a unit cut short is recorded so.
        const QStringList wait{"--wait"};
        QTest::newRow("Ctrl+C while waiting for the first unit")
            << QStringList{"--silent"} << wait << 2 << true << 5 << QStringList();
        QTest::newRow("Ctrl+C while waiting for the next unit")
            << QStringList() << wait << 5 << true << 0 << QStringList{"sent sent sent sent"};
        QTest::newRow("Ctrl+C in the middle of a unit") << QStringList{"--cycle", "ok,delay:900"} << wait << 2 << true
                                                        << 5 << QStringList{"interrupted sent interrupted not_sent"};
    }

    // The exit status, the reports, records that say the same, and on the line exactly the commands reported sent.
    void units() {
        QFETCH(QStringList, simArguments);
        QFETCH(QStringList, depot);
        QFETCH(int, probes);
        QFETCH(bool, ctrlC);
        QFETCH(QStringList, recorded);
        QVERIFY(startSim(simArguments));
        const Run run = send(toSim("all") + depot + QStringList{"--record", "units.jsonl"}, [&](QProcess &process) {
            if (ctrlC && waitUntil(5000, [&] { return simEvents(*m_sim, "probe").size() >= probes; }))
                interrupt(process);
        });
        QTEST(run.code, "code");
        settle(*m_sim, probes);
        // A command cut short by Ctrl+C found the port open and waited for its answer.
        const QMap<QString, QStringList> said = {{"sent", success(m_sim->path())},
                                                 {"not_found", notFound(m_sim->path())},
                                                 {"interrupted", success(m_sim->path()).mid(0, 1)}};
        QStringList out, commands;
        for (const QString &record : recorded) {
            const QStringList outcomes = record.split(' ');
            for (int index = 1; index < outcomes.size(); ++index) {
                out += said.value(outcomes[index]);
                if (outcomes[index] == "sent")
                    commands << QStringList{w, y, z}[index - 1];
            }
        }
        QCOMPARE(run.out, out);
        QCOMPARE(run.err.count(m_sim->path() + ": нет ответа"), out.count(notFound("").last()));
        QCOMPARE(simCommands(*m_sim), commands);
        const QVector<QJsonObject> lines = records(m_dir->filePath("units.jsonl"));
        QCOMPARE(lines.size(), recorded.size());
        for (int index = 0; index < lines.size(); ++index) {
            QStringList outcomes{lines[index]["outcome"].toString()};
            for (const QJsonValue &command : lines[index]["commands"].toArray())
                outcomes << command["outcome"].toString();
            QCOMPARE(outcomes.join(' '), recorded[index]);
            QCOMPARE(lines[index].value("port").toString(), m_sim->path());
            QCOMPARE(lines[index].value("profile").toString(), m_dir->filePath("station.ini"));
            // The port as given; its attempts stay one per port even where the port object names it otherwise.
            const QJsonArray attempts = lines[index]["commands"][0]["attempts"].toArray();
            QCOMPARE(attempts.size(), 1);
            QCOMPARE(attempts[0]["port"].toString(), m_sim->path());
        }
    }

    // While the sender waits, a missing port is told once, not at every poll; with its input closed, Ctrl+C ends it.
    void missingPortToldOnce() {
        m_wrapper = QStringList{"sh", "-c", "exec \"$0\" \"$@\" <&-"};
        const QStringList arguments{"--profile", "station.ini", "--tab", "time", "--port", "/dev/zevr-none", "--wait"};
        const Run run = send(arguments + QStringList{"--poll", "20"}, [](QProcess &process) {
            QTest::qWait(500);
            interrupt(process);
        });
        QCOMPARE(run.err.count("ожидание контроллера 1 (обслужено: 0): "), 1);
    }

    // A line that does not fit (past a file size limit, as ulimit -f sets) is cut back whole, so the next one does not
    // start inside it; the sender says so on standard error or in JSON and exits 6, and a depot's run stops at the
    // first unit it could not record. A full disk takes the same path, tested on the log.
    void recordOnAFullDisk() {
        QVERIFY(startSim());
        const QString record = m_dir->filePath("units.jsonl");
        const QByteArray earlier = QByteArray(900, 'x') + '\n'; // an earlier line, whatever its content
        QVERIFY(writeFileBytes(record, earlier));
        const QStringList arguments =
            toSim("time") +
            QStringList{"--record", "units.jsonl", "--json", "--wait", "--units", "3", "--gone", "0", "--poll", "20"};
        m_wrapper = QStringList{"prlimit", QStringLiteral("--fsize=%1").arg(earlier.size() + 100)};
        Run run = send(arguments);
        QCOMPARE(run.code, 6);
        QCOMPARE(readFileBytes(record), earlier);
        settle(*m_sim, 1);
        QCOMPARE(simCommands(*m_sim), QStringList{y}); // one unit served, then the run stopped
        QStringList events; // after the last report: the failure and its reason, the unit not recorded, the exit code
        for (const QString &line : run.out) {
            const QJsonObject event = QJsonDocument::fromJson(line.toUtf8()).object();
            events << QStringList{event["event"].toString(), event["file"].toString(), event["reason"].toString(),
                                  event["recorded"].toVariant().toString(), event["code"].toVariant().toString()}
                          .join(' ')
                          .simplified();
        }
        // The limit's own reason, not a full disk's.
        QCOMPARE(events.mid(events.size() - 3), QStringList({"record_failed units.jsonl файл слишком велик (" +
                                                                 QString::fromLocal8Bit(strerror(EFBIG)) + ")",
                                                             "unit false", "exit 6"}));

        // Once there is room again, the next unit's line follows the earlier one whole.
        m_wrapper.clear();
        run = send(arguments.mid(0, 8));
        QCOMPARE(run.code, 0);
        const QByteArray after = readFileBytes(record);
        QVERIFY(after.startsWith(earlier));
        QJsonParseError parse;
        QJsonDocument::fromJson(after.mid(earlier.size()), &parse);
        QCOMPARE(parse.error, QJsonParseError::NoError);
        QVERIFY(after.endsWith('\n') && after.count('\n') == earlier.count('\n') + 1);
    }

private:
    bool startSim(const QStringList &arguments = {}) {
        QString error;
        const bool started = m_sim->start(ZEVR_SIM_PATH, arguments, &error);
        if (!started)
            qWarning("%s", qPrintable(error));
        return started;
    }

    // The profile's tab or tabs to the simulated controller, from the case's folder.
    QStringList toSim(const char *tab) const {
        return {"--profile", "station.ini", "--tab", tab, "--port", m_sim->path()};
    }
    // The sender as a depot runs it: no display, no platform plugin, in a folder of its own.
    Run send(const QStringList &arguments, const std::function<void(QProcess &)> &during = {}) {
        GroupProcess process;
        process.setWorkingDirectory(m_dir->path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        if (!m_wrapper.isEmpty()) {
            // For faketime, whose library comes before the sanitizer's runtime; the other wrappers ignore both.
            environment.insert("DONT_FAKE_MONOTONIC", "1");
            environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        }
        process.setProcessEnvironment(environment);
        const QStringList command = m_wrapper + QStringList{ZEVR_SEND_PATH} + arguments;
        process.start(command.first(), command.mid(1));
        Run run;
        if (!process.waitForStarted())
            return run;
        if (during)
            during(process);
        if (!process.waitForFinished(20000)) {
            if (process.processId() > 0) // 0 would be the test's own group
                ::kill(-pid_t(process.processId()), SIGKILL);
            process.waitForFinished();
            return run;
        }
        run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    QStringList m_wrapper; // a program that runs the sender, such as faketime with its options
};

QTEST_GUILESS_MAIN(tst_sender)
#include "tst_sender.moc"
