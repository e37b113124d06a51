// zevr-sendbench: the time zevr3g-send takes to configure one controller with --tab all (three transmissions),
// against the protocol's floor: for each transmission the worker's 20 ms quiet gap plus the controller's answer
// time. Both processes read the same monotonic clock, so the run is split into its parts.

#include "tools/zevr-sim/simline.h"
#include "tools/zevr-sim/simprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr double quietGapMs = 20.0;
constexpr int transmissions = 3;

struct Sample {
    double wallMs = 0;   // the process from its start to its exit
    double startMs = 0;  // process start to the first probe at the controller
    double lineMs = 0;   // first probe to the last command's last byte
    double exitMs = 0;   // that byte to the process's exit
    double floorMs = 0;  // three times the quiet gap plus the answer time
    double gapMs = 0;    // per transmission: answer written to the command's last byte (the quiet gap, the write)
    double reopenMs = 0; // per transmission: a command's last byte to the next probe (close, open, probe)
};

double percentile(QVector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const int rank = int(std::ceil(fraction * values.size()));
    return values.at(qBound(0, rank - 1, values.size() - 1));
}

void printRow(const char *name, const QVector<double> &values) {
    std::printf("  %-34s %8.2f ms %8.2f ms %8.2f ms\n", name, percentile(values, 0.5), percentile(values, 0.95),
                *std::max_element(values.cbegin(), values.cend()));
}

double usToMs(const QJsonObject &event) { return event.value("t_us").toDouble() / 1000.0; }

// The events of one run: a probe, an answer and a command for each of the three transmissions.
bool splitRun(const QVector<QJsonObject> &events, double startMs, double endMs, Sample *sample, QString *error) {
    QVector<double> probes, answers, commands;
    for (const QJsonObject &event : events) {
        const QString kind = event.value("event").toString();
        if (kind == "probe")
            probes << usToMs(event);
        else if (kind == "answer")
            answers << usToMs(event);
        else if (kind == "command")
            commands << usToMs(event);
    }
    if (probes.size() != transmissions || answers.size() != transmissions || commands.size() != transmissions) {
        *error = QStringLiteral("expected %1 probes, answers and commands, got %2, %3, %4")
                     .arg(transmissions)
                     .arg(probes.size())
                     .arg(answers.size())
                     .arg(commands.size());
        return false;
    }
    sample->wallMs = endMs - startMs;
    sample->startMs = probes.first() - startMs;
    sample->lineMs = commands.last() - probes.first();
    sample->exitMs = endMs - commands.last();
    for (int index = 0; index < transmissions; ++index) {
        sample->floorMs += quietGapMs + (answers.at(index) - probes.at(index));
        sample->gapMs += (commands.at(index) - answers.at(index)) / transmissions;
        if (index > 0)
            sample->reopenMs += (probes.at(index) - commands.at(index - 1)) / (transmissions - 1);
    }
    return true;
}

bool runOnce(SimProcess &sim, const QString &profile, Sample *sample, QString *error) {
    const int before = sim.events().size();
    QProcess sender;
    const double startMs = double(SimLine::monotonicNs()) / 1e6;
    sender.start(ZEVR_SEND_PATH, {"--profile", profile, "--tab", "all", "--port", sim.path()});
    if (!sender.waitForFinished(10000) || sender.exitCode() != 0) {
        *error = QStringLiteral("zevr3g-send failed: %1").arg(QString::fromLocal8Bit(sender.readAllStandardError()));
        return false;
    }
    const double endMs = double(SimLine::monotonicNs()) / 1e6;
    // The simulator prints its last line a little after the controller read the last byte.
    QEventLoop loop;
    QObject::connect(&sim, &SimProcess::eventReceived, &loop, &QEventLoop::quit);
    QTimer::singleShot(1000, &loop, &QEventLoop::quit);
    while (sim.events().size() - before < 3 * transmissions && loop.exec() == 0 &&
           double(SimLine::monotonicNs()) / 1e6 - endMs < 1000) {
    }
    return splitRun(sim.events().mid(before), startMs, endMs, sample, error);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOptions({{"count", "Runs that count.", "n", "50"}, {"warmup", "Runs before them.", "n", "5"}});
    parser.process(app);
    const int count = parser.value("count").toInt(), warmUp = parser.value("warmup").toInt();

    QTemporaryDir dir;
    const QString profile = dir.filePath("station.ini");
    QFile file(profile);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write("version=1\n[station]\nunit1=on\nunit2=on\n[time]\n[meter]\ntype=pulse\n") <= 0)
        return 1;
    file.close();
    SimProcess sim;
    QString error;
    if (!sim.start(ZEVR_SIM_PATH, {}, &error)) {
        std::fprintf(stderr, "zevr-sendbench: %s\n", qPrintable(error));
        return 1;
    }
    QVector<double> wall, start, line, exit, floor, above, gap, reopen;
    for (int index = 0; index < warmUp + count; ++index) {
        Sample sample;
        if (!runOnce(sim, profile, &sample, &error)) {
            std::fprintf(stderr, "zevr-sendbench: %s\n", qPrintable(error));
            return 1;
        }
        if (index < warmUp)
            continue;
        wall << sample.wallMs;
        start << sample.startMs;
        line << sample.lineMs;
        exit << sample.exitMs;
        floor << sample.floorMs;
        above << sample.wallMs - sample.floorMs;
        gap << sample.gapMs;
        reopen << sample.reopenMs;
    }
    std::printf("zevr3g-send --tab all, %d runs (three transmissions each):\n", count);
    std::printf("  %-34s %11s %11s %11s\n", "", "median", "p95", "max");
    printRow("whole run, start to exit", wall);
    printRow("floor: 3 x (20 ms + answer)", floor);
    printRow("above the floor", above);
    printRow("  start to first probe", start);
    printRow("  first probe to last command byte", line);
    printRow("  last command byte to exit", exit);
    std::printf("Per transmission:\n");
    printRow("  answer to command's last byte", gap);
    printRow("  command to the next probe", reopen);
    return 0;
}
