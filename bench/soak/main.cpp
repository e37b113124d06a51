// zevr-soak: hundreds of transmissions of the real link worker against a simulated controller that misbehaves in
// every way it knows, mixed at random: each one must end with one final report that says what happened, the
// controller must get exactly the commands the worker says it sent, and descriptors and memory must not grow.

#include "serial/serialthread.h"
#include "tools/zevr-sim/simprocess.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer's runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr qint64 memoryToleranceKiB = 1536; // the benchmark's own records take a few hundred KiB

const QString notFound = QStringLiteral("Устройство не обнаружено");

// One mode per probe, shuffled by a fixed seed so that each fault meets different neighbours. The modes that
// cost the whole answer window (silent, a long split, a stream) stay at a few percent.
QStringList faultCycle() {
    const QList<QPair<QString, int>> shares = {{"ok", 73},     {"delay:20", 2},   {"delay:120", 3}, {"delay:400", 3},
                                               {"split:4", 4}, {"split:60", 1},   {"echo", 3},      {"hangup", 8},
                                               {"silent", 2},  {"stream:1300", 1}};
    QStringList cycle;
    for (const auto &share : shares) {
        for (int i = 0; i < share.second; ++i)
            cycle << share.first;
    }
    std::shuffle(cycle.begin(), cycle.end(), QRandomGenerator(20240611));
    return cycle;
}

// A different command each time, short and long in turn, so that the controller's log matches byte for byte.
QByteArray commandFor(int index) {
    if (index % 2 == 0)
        return QByteArray("CMDy") + char(index / 60 % 24) + char(index % 60) + char(0) + char(1) + char(1) + char(24);
    const auto high = char(index >> 8), low = char(index & 0xFF);
    return "CMDx" + (QByteArray::fromHex("01020F0610420000") + high + low + QByteArray::fromHex("3000")).repeated(4);
}

int openDescriptors() { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); }

// The heap handed out and not given back. The sanitizer keeps its own books, and freed blocks in quarantine.
qint64 memoryKiB() {
#if defined(__SANITIZE_ADDRESS__)
    return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 heap = ::mallinfo2();
    return qint64(heap.uordblks + heap.hblkhd) / 1024;
#endif
}

// Runs the event loop until `done` holds, looking after each emission of `signal`, or until `ms` have passed.
template <typename Sender, typename Signal>
bool waitFor(Sender *sender, Signal signal, int ms, const std::function<bool()> &done) {
    QEventLoop loop;
    QObject::connect(sender, signal, &loop, [&] {
        if (done())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// The worker's last word on a transmission.
bool isFinal(const QString &report) {
    return report == notFound || report.startsWith("not opened ") || report.endsWith(" закрыт");
}

bool isSent(const QString &report) { return report.startsWith("Отправлено. "); }

struct Transmission {
    QStringList reports;
    QStringList finals;
    int probe = 0; // the controller's number for this transmission's probe
};

class Soak : public QObject {
public:
    QStringList run(const QString &simulator, int transmissions, int warmUp);

private:
    void noteSimEvent(const QJsonObject &event);
    void record(const QString &report);
    bool transmit(int index);
    QString checkTransmission(int index) const;

    SimProcess m_sim;
    SerialThread m_worker;
    QVector<Transmission> m_log;
    QHash<int, QString> m_modes;       // probe number -> the controller's mode for it
    QHash<int, QByteArray> m_received; // probe number -> the command the controller received
    QSet<int> m_hungUp;                // probes after which the controller dropped the line
    QStringList m_simProblems;
    int m_probes = 0;
};

void Soak::noteSimEvent(const QJsonObject &event) {
    const QString kind = event.value("event").toString();
    const int probe = event.value("probe").toInt();
    if (kind == "probe")
        m_modes.insert(probe, event.value("mode").toString());
    else if (kind == "hangup")
        m_hungUp.insert(probe);
    else if (kind == "command")
        m_received.insert(probe, QByteArray::fromHex(event.value("hex").toString().toLatin1()));
    else if (kind == "junk" || kind == "truncated" || kind == "unknown")
        m_simProblems << event.value("hex").toString();
}

void Soak::record(const QString &report) {
    m_log.last().reports << report;
    if (isFinal(report))
        m_log.last().finals << report;
}

bool Soak::transmit(int index) {
    // Without the right to hang up in place (not root) the controller's line comes back under a new name, which
    // it announces before the hang-up itself; the worker may see the line drop before that news has come.
    const int lastProbe = m_probes;
    if (m_modes.value(lastProbe) == QLatin1String("hangup"))
        waitFor(&m_sim, &SimProcess::eventReceived, 3000, [&] { return m_hungUp.contains(lastProbe); });
    m_log.append(Transmission());
    m_worker.com_port = m_sim.path();
    m_worker.slot_data_send(commandFor(index));
    // The worker's own answer window is 1000 ms.
    return waitFor(&m_worker, &SerialThread::signal_show_message, 5000, [&] { return !m_log.last().finals.isEmpty(); });
}

// Empty when the transmission went as its controller's mode allows.
QString Soak::checkTransmission(int index) const {
    const Transmission &t = m_log.at(index);
    const QString mode = m_modes.value(t.probe);
    const QString where = QStringLiteral("transmission %1 (%2): %3").arg(index).arg(mode, t.reports.join(" / "));
    if (t.finals.size() != 1 || t.probe != index + 1)
        return where;
    // A controller that never answered, or hung up before the command, must never be taken as served.
    const QString final = t.finals.first();
    if ((mode == "silent" && final != notFound) || (mode == "hangup" && isSent(final)) ||
        ((mode == "ok" || mode == "echo" || mode.startsWith("delay")) && !isSent(final)))
        return where;
    // The controller got a command exactly when the worker says it sent one, and the very bytes.
    if (m_received.value(t.probe) != (isSent(final) ? commandFor(index) : QByteArray()))
        return where + " — the controller received other bytes";
    return QString();
}

QStringList Soak::run(const QString &simulator, int transmissions, int warmUp) {
    m_sim.setKeepEvents(false);
    connect(&m_sim, &SimProcess::eventReceived, this, [this](const QJsonObject &event) { noteSimEvent(event); });
    QString error;
    if (!m_sim.start(simulator, {"--cycle", faultCycle().join(',')}, &error))
        return {error};
    m_worker.com_auto = false;
    connect(&m_worker, &SerialThread::signal_port_opend, this, [this](QString name) {
        record("opened " + name);
        m_log.last().probe = ++m_probes;
    });
    connect(&m_worker, &SerialThread::signal_port_notopend, this,
            [this](QString name) { record("not opened " + name); });
    connect(&m_worker, &SerialThread::signal_show_message, this, [this](const QString &text) { record(text); });

    int descriptors = openDescriptors();
    qint64 memory = memoryKiB();
    for (int i = 0; i < transmissions; ++i) {
        if (i == warmUp) {
            descriptors = openDescriptors();
            memory = memoryKiB();
        }
        if (!transmit(i))
            return {
                QStringLiteral("transmission %1 has no final report: %2").arg(i).arg(m_log.last().reports.join(" / "))};
    }
    // A report that comes after its transmission's final one lands in the next transmission, or here.
    m_log.append(Transmission());
    waitFor(&m_worker, &SerialThread::signal_show_message, 1500, [&] { return !m_log.last().reports.isEmpty(); });
    QStringList problems;
    if (!m_log.takeLast().reports.isEmpty())
        problems << "a report after the last transmission";
    std::printf("%d transmissions, %d sent; descriptors %d -> %d, memory %lld -> %lld KiB\n", transmissions,
                int(m_received.size()), descriptors, openDescriptors(), memory, memoryKiB());
    for (int i = 0; i < transmissions; ++i) {
        const QString problem = checkTransmission(i);
        if (!problem.isEmpty())
            problems << problem;
    }
    if (!m_simProblems.isEmpty())
        problems << "the controller received broken bytes: " + m_simProblems.join(' ');
    const QStringList cycle = faultCycle();
    if (QSet<QString>(m_modes.cbegin(), m_modes.cend()) != QSet<QString>(cycle.cbegin(), cycle.cend()))
        problems << "not every mode of the controller came up";
    if (openDescriptors() > descriptors)
        problems << "file descriptors grew";
    if (memoryKiB() - memory > memoryToleranceKiB)
        problems << "memory grew";
    return problems;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription("Soak test of the link worker against zevr-sim's misbehaving controller.");
    parser.addHelpOption();
    parser.addOption({"count", "Transmissions (default 500).", "N", "500"});
    parser.addOption(
        {"warmup", "Transmissions before descriptors and memory are first counted (default 50).", "N", "50"});
    parser.process(app);
    const int count = parser.value("count").toInt();
    Soak soak;
    const QStringList problems =
        soak.run(QStringLiteral(ZEVR_SIM_PATH), count, std::min(count / 2, parser.value("warmup").toInt()));
    for (const QString &problem : problems)
        std::printf("FAILED: %s\n", qPrintable(problem));
    std::printf(problems.isEmpty() ? "passed\n" : "%d problems\n", int(problems.size()));
    return problems.isEmpty() ? 0 : 1;
}
