#include "bench/latency/latencybench.h"

#include "serial/serialthread.h"
#include "tools/zevr-sim/simline.h"
#include "tools/zevr-sim/simprocess.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace {

constexpr int transmissionTimeoutMs = 5000;

// A date and time command whose seconds and minutes tell the transmissions apart in the controller's log.
QByteArray commandFor(int index) {
    return QByteArray("CMDy") + char(index / 3600 % 24) + char(index / 60 % 60) + char(index % 60) + char(1) + char(1) +
           char(24);
}

double msBetween(double fromUs, double toUs) { return (toUs - fromUs) / 1000.0; }

} // namespace

LatencyBench::LatencyBench(SimProcess *sim, SerialThread *worker, QObject *parent)
    : QObject(parent), m_sim(sim), m_worker(worker) {
    connect(this, &LatencyBench::signal_data_send, worker, &SerialThread::slot_data_send);
    connect(worker, &SerialThread::signal_show_message, this, [this](const QString &text) {
        if (text.endsWith(QStringLiteral(" закрыт")) || text == QStringLiteral("Устройство не обнаружено"))
            m_final = text;
    });
    connect(worker, &SerialThread::signal_port_notopend, this,
            [this](const QString &name) { m_final = QStringLiteral("not opened: ") + name; });
}

bool LatencyBench::measure(int index, Sample *sample, QString *error) {
    const QByteArray command = commandFor(index);
    const int probe = index + 1;
    m_final.clear();
    const double emittedUs = double(SimLine::monotonicNs()) / 1000.0;
    emit signal_data_send(command);
    const bool arrived =
        waitUntil([&] { return !m_final.isEmpty() && !simEvent(probe, "command").isEmpty(); }, transmissionTimeoutMs);
    const QJsonObject received = simEvent(probe, "command");
    if (!arrived || received.value("hex").toString() != QString::fromLatin1(command.toHex().toUpper())) {
        *error = QStringLiteral("transmission %1 did not arrive whole: %2").arg(index).arg(m_final);
        return false;
    }
    const double probeUs = simEvent(probe, "probe").value("t_us").toDouble();
    sample->latencyMs = msBetween(emittedUs, received.value("t_us").toDouble());
    const double answerUs = simEvent(probe, "answer").value("t_us").toDouble();
    sample->answerMs = msBetween(probeUs, answerUs);
    sample->gapMs = msBetween(answerUs, received.value("t_us").toDouble());
    sample->toProbeMs = msBetween(emittedUs, probeUs);
    return true;
}

// Sleeps in the event loop until a report of either side makes `done` true; no polling timer disturbs the
// worker's own timers.
bool LatencyBench::waitUntil(const std::function<bool()> &done, int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (!done() && !deadline.hasExpired()) {
        QEventLoop loop;
        connect(m_sim, &SimProcess::eventReceived, &loop, &QEventLoop::quit);
        connect(m_worker, &SerialThread::signal_show_message, &loop, &QEventLoop::quit);
        QTimer::singleShot(int(deadline.remainingTime()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return done();
}

QJsonObject LatencyBench::simEvent(int probe, const QString &kind) const {
    const QVector<QJsonObject> &events = m_sim->events();
    for (auto event = events.crbegin(); event != events.crend(); ++event) {
        if (event->value("probe").toInt() < probe)
            break;
        if (event->value("probe").toInt() == probe && event->value("event").toString() == kind)
            return *event;
    }
    return {};
}
