#include "support/settingstestsupport.h"
#include "support/xsession.h"
#include "tools/zevr-sim/simprocess.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

#include <signal.h>

namespace {

const char *const profileText = "version=1\n"
                                "[station]\nunit1=on\nunit2=on\nunit2.control=4-20\n"
                                "[time]\ntime=23:59:59\ndate=31/12/2099\n"
                                "[meter]\ntype=pulse\nreading=0001234.5\n";
const QString w = "434D4477026F7000000002", y = "434D4479173B3B1F0C63", z = "434D447A01000030390140";

QStringList success(const QString &path, const QString &baud = "115200") {
    const QString name = path.mid(5);
    return {"Открыт " + path + '-' + baud + "-8-0-1-Нет", "Обнаружено устройство", "Отправка сообщения",
            "Отправлено. " + name + " закрыт"};
}

QStringList notFound(const QString &path) {
    return {"Открыт " + path + "-115200-8-0-1-Нет", "Устройство не обнаружено"};
}

struct Run {
    int code = -1;
    QStringList out;
    QString err;
};

// The sender as a depot runs it: no display, no platform plugin, in a folder of its own.
Run send(const QStringList &arguments, const QString &folder, const std::function<void(QProcess &)> &during = {}) {
    QProcess process;
    process.setWorkingDirectory(folder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    process.setProcessEnvironment(environment);
    process.start(ZEVR_SEND_PATH, arguments);
    Run run;
    if (!process.waitForStarted())
        return run;
    if (during)
        during(process);
    if (!process.waitForFinished(20000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

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

QStringList recordOutcomes(const QJsonObject &record) {
    QStringList outcomes{record.value("outcome").toString()};
    for (const QJsonValue &command : record.value("commands").toArray())
        outcomes << command.toObject().value("outcome").toString();
    return outcomes;
}

// Lets the simulator print what it received by the time the sender has ended.
void settle(SimProcess &sim, int probes) {
    waitUntil(1000, [&] { return simEvents(sim, "probe").size() >= probes; });
    QTest::qWait(100);
}

} // namespace

class tst_sender : public QObject {
    Q_OBJECT

private slots:
    void init();
    void unitCutShort();
    void lineDroppedAfterTheAnswer();
    void noPortNamed();
    void refusedBeforeTheLine_data();
    void refusedBeforeTheLine();
    void settingsJsonAndTheWorkstationClock();
    void depotUnitAfterUnit();
    void interrupted_data();
    void interrupted();

private:
    bool startSim(const QStringList &arguments = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
};

void tst_sender::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_sim = std::make_unique<SimProcess>();
    QVERIFY(writeFileBytes(m_dir->filePath("station.ini"), profileText));
    // The workstation's clock needs no [time] in the profile; the other tabs do.
    QVERIFY(writeFileBytes(m_dir->filePath("clockless.ini"), "version=1\n[meter]\n"));
    QVERIFY(writeFileBytes(m_dir->filePath("impossible.ini"), "version=1\n[time]\ntime=25:61:00\ndate=31/02/2026\n"));
    QVERIFY(writeFileBytes(m_dir->filePath("cut.ini"), "version=1\n[meter]\ntype=pulse\ncoefficient=3205\n"));
}

bool tst_sender::startSim(const QStringList &arguments) {
    QString error;
    const bool started = m_sim->start(ZEVR_SIM_PATH, arguments, &error);
    if (!started)
        qWarning("%s", qPrintable(error));
    return started;
}

// A unit whose second command goes unanswered ends there: its exit status, the status bar's reports, a record that
// says the same, and on the line exactly the commands that were reported sent. How the worker judges an answer's
// timing and shape is tested on the worker itself.
void tst_sender::unitCutShort() {
    QVERIFY(startSim({"--cycle", "ok,silent"}));
    const Run run =
        send({"--profile", "station.ini", "--tab", "all", "--port", m_sim->path(), "--record", "units.jsonl"},
             m_dir->path());
    QCOMPARE(run.code, 4);
    QCOMPARE(run.out, success(m_sim->path()) + notFound(m_sim->path()));
    settle(*m_sim, 2);
    QCOMPARE(simCommands(*m_sim), QStringList{w});
    const QVector<QJsonObject> lines = records(m_dir->filePath("units.jsonl"));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(recordOutcomes(lines.first()), QStringList({"not_found", "sent", "not_found", "not_sent"}));
    // The port as given; its attempts stay one per port even where the port object names it otherwise.
    const QJsonObject first = lines.first().value("commands").toArray().first().toObject();
    QCOMPARE(first.value("attempts").toArray().size(), 1);
    QCOMPARE(first.value("attempts").toArray().first().toObject().value("port").toString(), m_sim->path());
}

// A line that drops right after the answer races with the worker's 20 ms gap: a busy machine lets the line drop
// late, and the answer is then taken. Whichever way it goes, the exit status, the reports and what reached the
// controller agree.
void tst_sender::lineDroppedAfterTheAnswer() {
    QVERIFY(startSim({"--hangup"}));
    const Run run = send({"--profile", "station.ini", "--tab", "time", "--port", m_sim->path()}, m_dir->path());
    settle(*m_sim, 1);
    const bool received = simCommands(*m_sim) == QStringList{y};
    if (run.code == 0)
        QVERIFY2(received && run.out == success(m_sim->path()), qPrintable(run.out.join('\n')));
    else if (run.code == 1)
        QVERIFY2(run.out.last().startsWith("Ошибка отправки. "), qPrintable(run.out.join('\n')));
    else
        QVERIFY2(run.code == 4 && run.out == notFound(m_sim->path()) && !received, qPrintable(run.out.join('\n')));
}

void tst_sender::refusedBeforeTheLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    const QStringList all = {"--tab", "all", "--port", "%1"}, station = {"--profile", "station.ini"};
    QTest::newRow("no such profile") << QStringList{"--profile", "none.ini"} + all << 3
                                     << "профиль none.ini не открыт: файла нет";
    QTest::newRow("tab the profile lacks")
        << QStringList{"--profile", "clockless.ini"} + all << 3 << "в профиле нет раздела [station]";
    // What the window would refuse goes nowhere from a profile either.
    QTest::newRow("time no clock holds") << QStringList{"--profile", "impossible.ini", "--tab", "time", "--port", "%1"}
                                         << 3 << "строка 3: time — час 25 не бывает, нужен 0–23";
    QTest::newRow("constant not in tens") << QStringList{"--profile", "cut.ini", "--tab", "meter", "--port", "%1"} << 3
                                          << "строка 4: coefficient — 3205 не кратно 10, дошло бы как 3200";
    QTest::newRow("no tab") << station + QStringList{"--port", "%1"} << 2 << "нужны --profile и --tab";
    QTest::newRow("unknown tab") << station + QStringList{"--tab", "clock"} << 2
                                 << "--tab: station, time, meter или all, а не «clock»";
    QTest::newRow("port and search") << station + QStringList{"--tab", "all", "--auto", "--port", "x"} << 2
                                     << "--port и --auto исключают друг друга";
    QTest::newRow("units without wait") << station + QStringList{"--tab", "all", "--units", "2"} << 2
                                        << "--units действует только вместе с --wait";
    QTest::newRow("too many units") << station + QStringList{"--tab", "all", "--wait", "--units", "1000001"} << 2
                                    << "--units: нужно целое число от 1 до 1000000";
    QTest::newRow("settings file missing") << station + QStringList{"--tab", "all", "--settings", "other.ini"} << 2
                                           << "файл настроек other.ini не читается: файла нет";
}

// Nothing reaches the line before the whole run is known to be sound.
void tst_sender::refusedBeforeTheLine() {
    QFETCH(QStringList, arguments);
    QVERIFY(startSim());
    arguments.replaceInStrings("%1", m_sim->path());
    const Run run = send(arguments, m_dir->path());
    QTEST(run.code, "code");
    QFETCH(QString, message);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QVERIFY(run.out.isEmpty());
    QTest::qWait(100);
    QCOMPARE(simEvents(*m_sim, "probe").size(), 0);
}

// Without a port the settings file decides, as in the program, and the sender creates nothing of its own, in JSON
// mode too. With --now the workstation's clock goes as the command leaves.
void tst_sender::settingsJsonAndTheWorkstationClock() {
    QVERIFY(startSim());
    const QByteArray settings = "COM Port\r\n" + m_sim->path().toUtf8() +
                                "\r\nBaudRate\r\n9600\r\nParity\r\nnone\r\n"
                                "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\nfalse\r\n";
    QVERIFY(writeFileBytes(m_dir->filePath("line.ini"), settings));
    Run run = send({"--profile", "station.ini", "--tab", "time", "--settings", "line.ini"}, m_dir->path());
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, success(m_sim->path(), "9600"));

    QVERIFY(QFile::rename(m_dir->filePath("line.ini"), m_dir->filePath("settings.ini")));
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
    run = send({"--profile", "clockless.ini", "--tab", "time", "--now", "--json"}, m_dir->path());
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(run.code, 0);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"clockless.ini", "cut.ini", "impossible.ini", "settings.ini", "station.ini"}));
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
    settle(*m_sim, 2);
    const QVector<QJsonObject> commands = simEvents(*m_sim, "command");
    QCOMPARE(commands.size(), 2);
    QCOMPARE(commands.first().value("hex").toString(), y);
    const QDateTime sent =
        QDateTime::fromString(commands.last().value("date").toString() + ' ' + commands.last().value("time").toString(),
                              "dd/MM/yyyy hh:mm:ss");
    QVERIFY2(sent >= before && sent <= after, qPrintable(sent.toString()));
}

// A settings file with the search off and no port: the line says what to give instead of "  не открыт".
void tst_sender::noPortNamed() {
    QVERIFY(writeFileBytes(m_dir->filePath("settings.ini"), "COM Port\r\n\r\nCOM Auto\r\nfalse\r\n"));
    const Run run = send({"--profile", "station.ini", "--tab", "time"}, m_dir->path());
    QCOMPARE(run.code, 4);
    QCOMPARE(run.out, QStringList{"Порт не выбран: укажите --port или --auto либо «COM Port» в settings.ini"});
}

// A depot swaps units on one line: each is served once, and the next only after the line fell quiet.
void tst_sender::depotUnitAfterUnit() {
    // Three commands, a probe that finds the unit still there, one that finds the line quiet, and again.
    QVERIFY(startSim({"--cycle", "ok,ok,ok,ok,silent"}));
    const Run run = send({"--profile", "station.ini", "--tab", "all", "--port", m_sim->path(), "--wait", "--units", "2",
                          "--gone", "0", "--poll", "20", "--record", "units.jsonl"},
                         m_dir->path());
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, success(m_sim->path()) + success(m_sim->path()) + success(m_sim->path()) +
                          success(m_sim->path()) + success(m_sim->path()) + success(m_sim->path()));
    settle(*m_sim, 8);
    QCOMPARE(simCommands(*m_sim), QStringList({w, y, z, w, y, z}));
    const QVector<QJsonObject> lines = records(m_dir->filePath("units.jsonl"));
    QCOMPARE(lines.size(), 2);
    for (const QJsonObject &record : lines) {
        QCOMPARE(recordOutcomes(record), QStringList({"sent", "sent", "sent", "sent"}));
        QCOMPARE(record.value("port").toString(), m_sim->path());
        QCOMPARE(record.value("profile").toString(), m_dir->filePath("station.ini"));
        QCOMPARE(record.value("commands").toArray().at(1).toObject().value("bytes").toString(),
                 "43 4D 44 79 17 3B 3B 1F 0C 63");
    }
}

void tst_sender::interrupted_data() {
    QTest::addColumn<QStringList>("simArguments");
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("outcomes");
    // Waiting for a unit loses nothing; a unit cut short is recorded as such.
    QTest::newRow("while waiting for a unit") << QStringList{"--silent"} << 0 << QStringList();
    QTest::newRow("in the middle of a unit")
        << QStringList{"--cycle", "ok,delay:900"} << 5 << QStringList{"interrupted", "sent", "interrupted", "not_sent"};
}

void tst_sender::interrupted() {
    QFETCH(QStringList, simArguments);
    QFETCH(QStringList, outcomes);
    QVERIFY(startSim(simArguments));
    const Run run =
        send({"--profile", "station.ini", "--tab", "all", "--port", m_sim->path(), "--wait", "--record", "units.jsonl"},
             m_dir->path(), [this](QProcess &process) {
                 waitUntil(5000, [this] { return simEvents(*m_sim, "probe").size() >= 2; });
                 ::kill(pid_t(process.processId()), SIGINT);
             });
    QTEST(run.code, "code");
    const QVector<QJsonObject> lines = records(m_dir->filePath("units.jsonl"));
    QCOMPARE(lines.isEmpty() ? QStringList() : recordOutcomes(lines.first()), outcomes);
    QCOMPARE(lines.size(), outcomes.isEmpty() ? 0 : 1);
}

QTEST_GUILESS_MAIN(tst_sender)
#include "tst_sender.moc"
