#include "serial/serialthread.h"
#include "tools/zevr-sim/simprocess.h"

#include <QDir>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>
#include <malloc.h>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer's runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

constexpr int transmissions = 500;
constexpr int warmUp = 50;
constexpr qint64 memoryToleranceKiB = 1536; // the test's own records take a few hundred KiB

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

} // namespace

class tst_soak : public QObject {
    Q_OBJECT

private slots:
    void fiveHundredTransmissions();

private:
    void noteSimEvent(const QJsonObject &event);
    void record(const QString &report);
    bool transmit(int index);
    void checkTransmission(int index);

    SimProcess m_sim;
    SerialThread m_worker;
    QVector<Transmission> m_log;
    QHash<int, QString> m_modes;       // probe number -> the controller's mode for it
    QHash<int, QByteArray> m_received; // probe number -> the command the controller received
    QSet<int> m_hungUp;                // probes after which the controller dropped the line
    QStringList m_simProblems;
    int m_probes = 0;
};

void tst_soak::noteSimEvent(const QJsonObject &event) {
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

void tst_soak::record(const QString &report) {
    m_log.last().reports << report;
    if (isFinal(report))
        m_log.last().finals << report;
}

bool tst_soak::transmit(int index) {
    // Without the right to hang up in place (not root) the controller's line comes back under a new name, which
    // it announces before the hang-up itself; the worker may see the line drop before that news has come.
    const int lastProbe = m_probes;
    if (m_modes.value(lastProbe) == QLatin1String("hangup")) {
        QSignalSpy events(&m_sim, &SimProcess::eventReceived);
        const QDeadlineTimer deadline(3000);
        while (!m_hungUp.contains(lastProbe) && events.wait(int(deadline.remainingTime()))) {
        }
    }
    m_log.append(Transmission());
    m_worker.com_port = m_sim.path();
    m_worker.slot_data_send(commandFor(index));
    QSignalSpy shown(&m_worker, &SerialThread::signal_show_message);
    const QDeadlineTimer deadline(5000); // the worker's own answer window is 1000 ms
    while (m_log.last().finals.isEmpty() && shown.wait(int(deadline.remainingTime()))) {
    }
    return !m_log.last().finals.isEmpty();
}

void tst_soak::checkTransmission(int index) {
    const Transmission &t = m_log.at(index);
    const QString mode = m_modes.value(t.probe);
    const QByteArray where =
        QStringLiteral("transmission %1 (%2): %3").arg(index).arg(mode, t.reports.join(" / ")).toUtf8();
    QVERIFY2(t.finals.size() == 1, where);
    QVERIFY2(t.probe == index + 1, where);
    // A controller that never answered, or hung up before the command, must never be taken as served.
    const QString final = t.finals.first();
    if (mode == "silent")
        QVERIFY2(final == notFound, where);
    if (mode == "hangup")
        QVERIFY2(!isSent(final), where);
    if (mode == "ok" || mode == "echo" || mode.startsWith("delay"))
        QVERIFY2(isSent(final), where);
    // The controller got a command exactly when the worker says it sent one, and the very bytes.
    QVERIFY2(m_received.value(t.probe) == (isSent(final) ? commandFor(index) : QByteArray()), where);
}

void tst_soak::fiveHundredTransmissions() {
    m_sim.setKeepEvents(false);
    connect(&m_sim, &SimProcess::eventReceived, this, &tst_soak::noteSimEvent);
    QString error;
    QVERIFY2(m_sim.start(QStringLiteral(ZEVR_BINARY_DIR "/tools/zevr-sim/zevr-sim"),
                         {"--cycle", faultCycle().join(',')}, &error),
             qPrintable(error));
    m_worker.com_auto = false;
    connect(&m_worker, &SerialThread::signal_port_opend, this, [this](QString name) {
        record("opened " + name);
        m_log.last().probe = ++m_probes;
    });
    connect(&m_worker, &SerialThread::signal_port_notopend, this,
            [this](QString name) { record("not opened " + name); });
    connect(&m_worker, &SerialThread::signal_show_message, this, &tst_soak::record);

    int descriptors = 0;
    qint64 memory = 0;
    for (int i = 0; i < transmissions; ++i) {
        if (i == warmUp) {
            descriptors = openDescriptors();
            memory = memoryKiB();
        }
        QVERIFY2(transmit(i), qPrintable(QStringLiteral("transmission %1 has no final report: %2")
                                             .arg(i)
                                             .arg(m_log.last().reports.join(" / "))));
    }
    // A report that comes after its transmission's final one lands in the next transmission, or here.
    m_log.append(Transmission());
    QSignalSpy(&m_worker, &SerialThread::signal_show_message).wait(1500);
    QVERIFY2(m_log.takeLast().reports.isEmpty(), "a report after the last transmission");
    qInfo("descriptors %d -> %d, memory %lld -> %lld KiB", descriptors, openDescriptors(), memory, memoryKiB());
    for (int i = 0; i < transmissions && !QTest::currentTestFailed(); ++i)
        checkTransmission(i);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(m_simProblems.isEmpty(), qPrintable("the controller received broken bytes: " + m_simProblems.join(' ')));
    const QStringList cycle = faultCycle();
    QCOMPARE(QSet<QString>(m_modes.cbegin(), m_modes.cend()), QSet<QString>(cycle.cbegin(), cycle.cend()));
    QCOMPARE(m_received.size(), int(std::count_if(m_log.cbegin(), m_log.cend(),
                                                  [](const Transmission &t) { return isSent(t.finals.first()); })));
    QVERIFY2(openDescriptors() <= descriptors, "file descriptors grew");
    QVERIFY2(memoryKiB() - memory <= memoryToleranceKiB, "memory grew");
}

QTEST_GUILESS_MAIN(tst_soak)
#include "tst_soak.moc"
