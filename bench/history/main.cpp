// zevr-historybench [--count N] [--block N] [--ports N]: what the transmission history costs the window as it grows.
//
// 1. N transmissions (default 10,000) through the window's wiring, as "Отправить" on "Время" sends them, each to a
//    port that does not exist, once with the history shown and once with it opened and hidden again. The journal
//    keeps the latest 1,000 rows, so from the 1,000th on every transmission also drops a row. The processor time of
//    the first and the last block of 1,000 are compared: the goal is the last within 1.2 times the first.
// 2. One automatic search over N ports that do not exist (default 25,000), listed through the port-list seam: the
//    window (history shown, and hidden) against the command-line sender's session, the same link worker without a
//    window. The goal is the window at least as fast per port as the sender.
// Processor time of this process, which other load on the machine disturbs less than wall time. Exits 1 when a
// goal is missed.
#include "mainwindow/mainwindow.h"
#include "protocol/profile.h"
#include "sender/sendoptions.h"
#include "sender/sendoutput.h"
#include "sender/sendsession.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"
#include "workfiles/settingsfile.h"

#include <QAction>
#include <QApplication>
#include <QDockWidget>
#include <QPushButton>

#include <cstdio>
#include <ctime>
#include <utility>

#include <sys/resource.h>

// Under callgrind, each block's instruction count is dumped apart: a count that the rest of the machine cannot
// disturb (valgrind --tool=callgrind --dump-instr=no zevr-historybench ..., then callgrind_annotate each dump).
#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

namespace {

// Processor time of the process, in user space and in the system. The system's part, mostly the serial library's
// lock file synced to disk at every port opened, is the same work for every transmission and the sender alike, but
// it swings with other disk load on the machine; it is printed beside.
double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

double systemMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_stime.tv_sec * 1000.0 + usage.ru_stime.tv_usec / 1000.0;
}

QStringList deadPorts(int count) {
    QStringList names;
    names.reserve(count);
    for (int i = 0; i < count; ++i)
        names << QStringLiteral("zevr-bench-dead-%1").arg(i);
    return names;
}

enum class History { Shown, Hidden };

const char *name(History history) { return history == History::Shown ? "shown" : "hidden"; }

struct Window {
    MainWindow window;
    SerialThread worker;
    TransmissionJournal *journal = nullptr;

    explicit Window(History history) {
        window.attachLink(&worker);
        journal = window.findChild<TransmissionJournal *>();
        window.show();
        QAction *toggle = window.findChild<QAction *>(QStringLiteral("action_history"));
        toggle->trigger();
        if (history == History::Hidden)
            toggle->trigger();
        QCoreApplication::processEvents();
    }

    void waitUntilIdle() {
        while (journal->unfinishedCount() > 0)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents();
    }
};

// Milliseconds of processor time per transmission, block by block.
bool transmissions(History history, int count, int block) {
    setPortLister([] { return QStringList{QStringLiteral("zevr-bench-dead")}; });
    Window w(history);
    auto *send = w.window.findChild<QPushButton *>(QStringLiteral("pB_Send_2"));
    QVector<double> blocks;
    QVector<double> system;
    CALLGRIND_DUMP_STATS_AT("set-up");
    double start = cpuMs();
    double systemStart = systemMs();
    for (int i = 1; i <= count; ++i) {
        send->click();
        w.waitUntilIdle();
        if (i % block == 0) {
            CALLGRIND_DUMP_STATS_AT(qPrintable(QStringLiteral("%1 block %2").arg(name(history)).arg(i / block)));
            const double now = cpuMs();
            const double systemNow = systemMs();
            blocks << (now - start) / block;
            system << (systemNow - systemStart) / block;
            start = now;
            systemStart = systemNow;
        }
    }
    std::printf("%d transmissions, history %s, ms of processor time per transmission by blocks of %d:\n", count,
                name(history), block);
    for (int i = 0; i < blocks.size(); ++i)
        std::printf("%s%.3f", i ? " " : "  ", blocks[i]);
    std::printf("\n  of it in the system:");
    for (int i = 0; i < system.size(); ++i)
        std::printf(" %.3f", system[i]);
    const double ratio = blocks.last() / blocks.first();
    std::printf("\n  last / first: %.2f (goal: at most 1.20)\n", ratio);
    std::fflush(stdout);
    return ratio <= 1.2;
}

// Milliseconds per port of processor time, and of it in the system.
struct PerPort {
    double total = 0;
    double system = 0;
};

class PortClock {
public:
    explicit PortClock(int ports) : m_ports(ports), m_start(cpuMs()), m_systemStart(systemMs()) {}
    PerPort stop() const { return {(cpuMs() - m_start) / m_ports, (systemMs() - m_systemStart) / m_ports}; }

private:
    int m_ports;
    double m_start;
    double m_systemStart;
};

PerPort windowWalk(History history, int ports) {
    const QStringList names = deadPorts(ports);
    setPortLister([names] { return names; });
    Window w(history);
    CALLGRIND_DUMP_STATS_AT("window walk set-up");
    const PortClock clock(ports);
    w.window.findChild<QPushButton *>(QStringLiteral("pB_Send_2"))->click();
    w.waitUntilIdle();
    CALLGRIND_DUMP_STATS_AT(qPrintable(QStringLiteral("window walk, history %1").arg(name(history))));
    return clock.stop();
}

PerPort senderWalk(int ports) {
    const QStringList names = deadPorts(ports);
    setPortLister([names] { return names; });
    SendOptions options;
    options.tabs = SendOptions::Clock;
    options.autoSearch = true;
    Profiles::Profile profile;
    profile.clock = Profiles::Clock{QStringLiteral("00:00:00"), QStringLiteral("01/01/2017")};
    ConnectionValues connection;
    connection.com_auto = true;
    std::FILE *null = std::fopen("/dev/null", "w");
    SendOutput output(false, null, null);
    SendSession session(options, profile, connection, &output);
    bool done = false;
    QObject::connect(&session, &SendSession::finished, [&done](int) { done = true; });
    CALLGRIND_DUMP_STATS_AT("sender walk set-up");
    const PortClock clock(ports);
    session.start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const PerPort perPort = clock.stop();
    CALLGRIND_DUMP_STATS_AT("sender walk");
    std::fclose(null);
    return perPort;
}

void printWalk(const char *what, const PerPort &walk) {
    std::printf("  %s %.4f (%.4f)\n", what, walk.total, walk.system);
    std::fflush(stdout);
}

// The sender walks before the windows and again after them: the system's part drifts over a run (the disk, the
// page cache), and the mean of the two is fairer to both than whichever ran first.
bool walks(int ports) {
    std::printf("walk over %d dead ports, ms of processor time per port (of it in the system):\n", ports);
    const PerPort before = senderWalk(ports);
    printWalk("sender, before the windows", before);
    const PerPort shown = windowWalk(History::Shown, ports);
    printWalk("window, history shown", shown);
    const PerPort hidden = windowWalk(History::Hidden, ports);
    printWalk("window, history hidden", hidden);
    const PerPort after = senderWalk(ports);
    printWalk("sender, after the windows", after);
    const PerPort sender{(before.total + after.total) / 2, (before.system + after.system) / 2};
    std::printf("  against the sender's mean (goal: at most 1.00), and in user space alone:\n");
    bool ok = true;
    for (const auto &[history, window] : {std::pair{History::Shown, shown}, std::pair{History::Hidden, hidden}}) {
        std::printf("  history %s %.2f, %.2f\n", name(history), window.total / sender.total,
                    (window.total - window.system) / (sender.total - sender.system));
        ok &= window.total <= sender.total;
    }
    std::fflush(stdout);
    return ok;
}

int option(const QStringList &arguments, const QString &name, int fallback) {
    const int at = arguments.indexOf(name);
    return at >= 0 && at + 1 < arguments.size() ? arguments.at(at + 1).toInt() : fallback;
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = option(app.arguments(), QStringLiteral("--count"), 10000);
    const int block = qBound(1, option(app.arguments(), QStringLiteral("--block"), 1000), qMax(1, count));
    const int ports = option(app.arguments(), QStringLiteral("--ports"), 25000);
    com_log = 0;
    bool ok = true;
    if (count > 0)
        for (History history : {History::Shown, History::Hidden})
            ok &= transmissions(history, count, block);
    if (ports > 0)
        ok &= walks(ports);
    setPortLister(nullptr);
    return ok ? 0 : 1;
}
