#include "serial/serialthread.h"
#include "tools/zevr-sim/simline.h"
#include "tools/zevr-sim/simprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
// From the sanitizer's runtime; GCC ships no header for it.
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

const QString simulatorPath = QStringLiteral(ZEVR_BINARY_DIR "/tools/zevr-sim/zevr-sim");
constexpr int transmissions = 500;
constexpr int warmUp = 50;
// Long enough for the worker's own 1000 ms answer window on a loaded machine.
constexpr int finalReportTimeoutMs = 5000;

// Growth allowed over 450 transmissions: the test's own records take a few hundred KiB.
constexpr qint64 memoryToleranceKiB = 1536;

enum class Outcome { None, Sent, SendFailed, NotDetected, NotOpened };

const char *outcomeName(Outcome outcome) {
    static const char *const names[] = {"no final report", "sent", "send failed", "not detected", "not opened"};
    return names[int(outcome)];
}

// One mode per probe, mixed by a fixed seed so that each fault meets different neighbours. The modes that cost
// the whole answer window (silent, a long split, a stream) stay at a few percent.
QStringList faultCycle() {
    const QList<QPair<QString, int>> shares = {{"ok", 73},     {"delay:20", 2},   {"delay:120", 3}, {"delay:400", 3},
                                               {"split:4", 4}, {"split:60", 1},   {"echo", 3},      {"hangup", 8},
                                               {"silent", 2},  {"stream:1300", 1}};
    QStringList cycle;
    for (const auto &share : shares) {
        for (int i = 0; i < share.second; ++i)
            cycle << share.first;
    }
    QRandomGenerator random(20240611);
    std::shuffle(cycle.begin(), cycle.end(), random);
    return cycle;
}

// Every transmission carries a different command, the four kinds in turn, so that the controller's log can be
// matched to the worker's reports byte for byte.
QByteArray commandFor(int index) {
    const auto low = char(index & 0xFF), high = char((index >> 8) & 0xFF);
    switch (index % 4) {
    case 0:
        return QByteArray("CMDy") + char(index / 60 % 24) + char(index % 60) + char(0) + char(1) + char(1) + char(24);
    case 1:
        return QByteArray("CMDz") + char(1) + char(0) + char(0) + high + low + char(1) + char(0x40);
    case 2:
        return QByteArray("CMDw") + char(2) + high + low + QByteArray(3, 0) + char(2);
    default: {
        const QByteArray record = QByteArray::fromHex("01020F0610420000") + high + low + QByteArray::fromHex("3000");
        return "CMDx" + record + record + record + record;
    }
    }
}

int openDescriptors() { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); }

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer keeps freed blocks in quarantine, so resident memory climbs without any leak; the heap
// it has handed out and not got back is the measure there.
const char *const memoryMeasure = "live heap";
qint64 memoryKiB() { return qint64(__sanitizer_get_current_allocated_bytes() / 1024); }
#else
const char *const memoryMeasure = "resident";
qint64 memoryKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
#endif

Outcome outcomeOf(const QString &report) {
    if (report.startsWith("Отправлено. "))
        return Outcome::Sent;
    if (report.startsWith("Ошибка отправки. "))
        return Outcome::SendFailed;
    return report == "Устройство не обнаружено" ? Outcome::NotDetected : Outcome::None;
}

struct Transmission {
    qint64 startUs = 0;
    QStringList reports; // each with its time after the start
    int finals = 0;
    Outcome outcome = Outcome::None;
    int probe = 0; // the controller's number for this transmission's probe; 0 when none was written
};

} // namespace

class tst_soak : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void fiveHundredTransmissions();

private:
    void connectWorker();
    void noteSimEvent(const QJsonObject &event);
    void record(const QString &report, Outcome outcome);
    bool transmit(int index);
    void waitForStragglers();
    QString describe(int index) const;
    void checkTransmission(int index);
    void printTally() const;

    SimProcess m_sim;
    SerialThread m_worker;
    QVector<Transmission> m_log;
    QHash<int, QString> m_modes;       // probe number -> the controller's mode for it
    QHash<int, QByteArray> m_received; // probe number -> command bytes the controller received
    QHash<int, QString> m_simTimeline; // probe number -> what the controller did, on the same clock
    QStringList m_simProblems;
    int m_current = -1;
    int m_probes = 0;
};

void tst_soak::initTestCase() {
    m_log.reserve(transmissions + 1);
    m_modes.reserve(transmissions + 1);
    m_received.reserve(transmissions + 1);
    m_sim.setKeepEvents(false);
    connect(&m_sim, &SimProcess::eventReceived, this, &tst_soak::noteSimEvent);
    QString error;
    QVERIFY2(m_sim.start(simulatorPath, {"--cycle", faultCycle().join(',')}, &error), qPrintable(error));
    m_worker.com_auto = false;
    m_worker.baud = 115200;
    m_worker.lenght = 8;
    m_worker.parity = 0;
    m_worker.stopbit = 1;
    connectWorker();
}

void tst_soak::cleanupTestCase() { m_sim.stop(); }

void tst_soak::connectWorker() {
    connect(&m_worker, &SerialThread::signal_port_opend, this, [this](QString name) {
        record("opened " + name, Outcome::None);
        m_log[m_current].probe = ++m_probes;
    });
    connect(&m_worker, &SerialThread::signal_port_notopend, this,
            [this](QString name) { record("not opened " + name, Outcome::NotOpened); });
    connect(&m_worker, &SerialThread::signal_show_message, this,
            [this](QString text) { record(text, outcomeOf(text)); });
}

void tst_soak::noteSimEvent(const QJsonObject &event) {
    const QString kind = event.value("event").toString();
    const int probe = event.value("probe").toInt();
    m_simTimeline[probe] += QStringLiteral(" / %1 at controller").arg(kind);
    if (m_current >= 0 && m_current < m_log.size())
        m_simTimeline[probe] += QStringLiteral(" +%1 ms").arg(
            (event.value("t_us").toDouble() - m_log[m_current].startUs) / 1000.0, 0, 'f', 1);
    if (kind == "probe")
        m_modes.insert(probe, event.value("mode").toString());
    else if (kind == "command")
        m_received.insert(probe, QByteArray::fromHex(event.value("hex").toString().toLatin1()));
    else if (kind == "junk" || kind == "truncated" || kind == "unknown")
        m_simProblems << QString::fromUtf8(QJsonDocument(event).toJson(QJsonDocument::Compact));
}

void tst_soak::record(const QString &report, Outcome outcome) {
    QVERIFY2(m_current >= 0, qPrintable("report outside any transmission: " + report));
    Transmission &transmission = m_log[m_current];
    const double ms = (SimLine::monotonicNs() / 1000 - transmission.startUs) / 1000.0;
    transmission.reports << QStringLiteral("%1 +%2 ms").arg(report).arg(ms, 0, 'f', 1);
    if (outcome != Outcome::None) {
        ++transmission.finals;
        transmission.outcome = outcome;
    }
}

bool tst_soak::transmit(int index) {
    m_current = index;
    m_log.append(Transmission());
    m_log[index].startUs = SimLine::monotonicNs() / 1000;
    // Without the right to hang up in place the controller's line comes back under a new name.
    m_worker.com_port = m_sim.path();
    m_worker.slot_data_send(commandFor(index));
    QElapsedTimer clock;
    clock.start();
    QSignalSpy shown(&m_worker, &SerialThread::signal_show_message);
    while (m_log[index].finals == 0 && clock.elapsed() < finalReportTimeoutMs)
        shown.wait(100);
    return m_log[index].finals > 0;
}

// A report that comes after its transmission's final one lands in the next transmission, or here.
void tst_soak::waitForStragglers() {
    m_current = m_log.size();
    m_log.append(Transmission());
    QSignalSpy shown(&m_worker, &SerialThread::signal_show_message);
    shown.wait(1500);
    QVERIFY2(m_log.last().reports.isEmpty(), qPrintable("after the last: " + m_log.last().reports.join(" / ")));
    m_log.removeLast();
}

QString tst_soak::describe(int index) const {
    const Transmission &t = m_log.at(index);
    return QStringLiteral("transmission %1 (%2, probe %3): %4 | controller:%5")
        .arg(index)
        .arg(m_modes.value(t.probe))
        .arg(t.probe)
        .arg(t.reports.join(" / "), m_simTimeline.value(t.probe));
}

void tst_soak::checkTransmission(int index) {
    const Transmission &t = m_log.at(index);
    const QString mode = m_modes.value(t.probe);
    const QString where = (index > 0 ? describe(index - 1) + "\n  then " : QString()) + describe(index);
    QVERIFY2(t.finals == 1, qPrintable(where));
    QVERIFY2(t.probe == index + 1, qPrintable(where + ": every transmission writes one probe"));
    // A controller that never answered, or that hung up before the command, must never be taken as served.
    if (mode == "silent")
        QVERIFY2(t.outcome == Outcome::NotDetected, qPrintable(where));
    if (mode == "hangup")
        QVERIFY2(t.outcome != Outcome::Sent, qPrintable(where));
    if (mode == "ok" || mode == "echo" || mode.startsWith("delay"))
        QVERIFY2(t.outcome == Outcome::Sent, qPrintable(where));
    // The controller got a command exactly when the worker says it sent one, and the very bytes.
    if (t.outcome == Outcome::Sent)
        QVERIFY2(m_received.value(t.probe) == commandFor(index), qPrintable(where));
    else
        QVERIFY2(!m_received.contains(t.probe), qPrintable(where + ": the controller got a command"));
}

void tst_soak::printTally() const {
    QMap<QString, QMap<QString, int>> tally;
    for (const Transmission &t : m_log)
        tally[m_modes.value(t.probe)][outcomeName(t.outcome)]++;
    for (auto mode = tally.cbegin(); mode != tally.cend(); ++mode) {
        QStringList counts;
        for (auto outcome = mode->cbegin(); outcome != mode->cend(); ++outcome)
            counts << QStringLiteral("%1 %2").arg(outcome.value()).arg(outcome.key());
        qInfo("%-12s %s", qPrintable(mode.key()), qPrintable(counts.join(", ")));
    }
}

void tst_soak::fiveHundredTransmissions() {
    QElapsedTimer clock;
    clock.start();
    int descriptors = 0;
    qint64 memory = 0;
    for (int i = 0; i < transmissions; ++i) {
        if (i == warmUp) {
            descriptors = openDescriptors();
            memory = memoryKiB();
        }
        QVERIFY2(transmit(i), qPrintable(QStringLiteral("transmission %1 has no final report after %2 ms: %3")
                                             .arg(i)
                                             .arg(finalReportTimeoutMs)
                                             .arg(m_log[i].reports.join(" / "))));
    }
    waitForStragglers();
    const int descriptorsAfter = openDescriptors();
    const qint64 memoryAfter = memoryKiB();
    qInfo("%d transmissions in %.1f s; descriptors %d -> %d; %s memory %lld -> %lld KiB", transmissions,
          clock.elapsed() / 1000.0, descriptors, descriptorsAfter, memoryMeasure, memory, memoryAfter);
    printTally();
    for (int i = 0; i < m_log.size() && !QTest::currentTestFailed(); ++i)
        checkTransmission(i);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(m_simProblems.isEmpty(), qPrintable("the controller received broken bytes: " + m_simProblems.join('\n')));
    QCOMPARE(m_received.size(), int(std::count_if(m_log.cbegin(), m_log.cend(),
                                                  [](const Transmission &t) { return t.outcome == Outcome::Sent; })));
    QVERIFY2(descriptorsAfter <= descriptors, "file descriptors grew");
    QVERIFY2(memoryAfter - memory <= memoryToleranceKiB, "memory grew");
}

QTEST_GUILESS_MAIN(tst_soak)
#include "tst_soak.moc"
