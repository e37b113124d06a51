// zevr-latency: the time from a command's emission into the link worker to its last byte at the simulated
// controller, over a pseudo-terminal.

#include "bench/latency/latencybench.h"
#include "serial/serialthread.h"
#include "tools/zevr-sim/simprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// The worker examines an answer only after the line has been quiet this long.
constexpr double quietGapMs = 20.0;
constexpr double medianGoalMs = 2.0;
constexpr double p99GoalMs = 5.0;

double percentile(QVector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const int rank = int(std::ceil(fraction * values.size()));
    return values.at(qBound(0, rank - 1, values.size() - 1));
}

void printRow(const char *name, const QVector<double> &values) {
    std::printf("  %-30s %8.2f ms %8.2f ms %8.2f ms\n", name, percentile(values, 0.5), percentile(values, 0.99),
                *std::max_element(values.cbegin(), values.cend()));
}

void configure(SerialThread &worker, const QString &path) {
    worker.com_port = path;
    worker.com_auto = false;
    worker.baud = 115200;
    worker.lenght = 8;
    worker.parity = 0;
    worker.stopbit = 1;
}

bool runAll(LatencyBench &bench, int warmUp, int count, QVector<LatencyBench::Sample> *samples) {
    for (int index = 0; index < warmUp + count; ++index) {
        LatencyBench::Sample sample;
        QString error;
        if (!bench.measure(index, &sample, &error)) {
            std::fprintf(stderr, "zevr-latency: %s\n", qPrintable(error));
            return false;
        }
        if (index >= warmUp)
            *samples << sample;
    }
    return true;
}

int report(const QVector<LatencyBench::Sample> &samples) {
    QVector<double> latency, answer, toProbe, gap, aboveFloor;
    for (const LatencyBench::Sample &sample : samples) {
        latency << sample.latencyMs;
        answer << sample.answerMs;
        toProbe << sample.toProbeMs;
        gap << sample.gapMs;
        aboveFloor << sample.latencyMs - (quietGapMs + sample.answerMs);
    }
    std::printf("Command latency over %d transmissions (emission to last byte at the controller):\n",
                int(samples.size()));
    std::printf("  %-30s %11s %11s %11s\n", "", "median", "p99", "max");
    printRow("latency", latency);
    printRow("controller's answer time", answer);
    printRow("emission to probe", toProbe);
    printRow("answer to command", gap);
    printRow("above the floor (20 ms + answer)", aboveFloor);
    const double median = percentile(aboveFloor, 0.5), p99 = percentile(aboveFloor, 0.99);
    const bool met = median <= medianGoalMs && p99 <= p99GoalMs;
    std::printf("Goal: median within %.0f ms and p99 within %.0f ms of the floor: %s\n", medianGoalMs, p99GoalMs,
                met ? "met" : "NOT met");
    return met ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Times commands from their emission to their last byte at zevr-sim.");
    parser.addHelpOption();
    parser.addOptions({{"count", "Transmissions to measure.", "n", "200"},
                       {"warmup", "Transmissions sent first and not counted.", "n", "10"},
                       {"sim", "The simulator program.", "path", ZEVR_SIM_PATH}});
    parser.process(app);
    const int count = qMax(1, parser.value("count").toInt()), warmUp = qMax(0, parser.value("warmup").toInt());

    SimProcess sim;
    QString error;
    if (!sim.start(parser.value("sim"), {}, &error)) {
        std::fprintf(stderr, "zevr-latency: %s\n", qPrintable(error));
        return 2;
    }
    SerialThread worker;
    configure(worker, sim.path());
    LatencyBench bench(&sim, &worker);
    QVector<LatencyBench::Sample> samples;
    if (!runAll(bench, warmUp, count, &samples))
        return 2;
    return report(samples);
}
