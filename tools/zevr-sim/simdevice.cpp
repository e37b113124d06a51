#include "tools/zevr-sim/simdevice.h"

#include "tools/zevr-sim/simline.h"

namespace {

// The token is cut inside, so that neither part contains it.
constexpr int splitAt = 3;
// Well under the program's 20 ms quiet gap, so that the stream never pauses long enough to be examined.
constexpr int streamIntervalMs = 4;
const QByteArray streamFiller = QByteArrayLiteral("........");
// The program reads the answer within a few milliseconds; the hang-up waits for that, but not forever. The
// first polls only give the answer time to reach the terminal's queue, where the count can see it.
constexpr int hangUpPollMs = 1;
constexpr int minHangUpPolls = 2;
constexpr int maxHangUpPolls = 200;

} // namespace

SimDevice::SimDevice(SimLine *line, const Settings &settings, QObject *parent)
    : QObject(parent), m_line(line), m_settings(settings), m_step(settings.plan.stepFor(0)) {
    m_gapTimer.setSingleShot(true);
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setTimerType(Qt::PreciseTimer);
    m_streamTimer.setTimerType(Qt::PreciseTimer);
    m_hangUpTimer.setTimerType(Qt::PreciseTimer);
    connect(line, &SimLine::received, this, &SimDevice::receive);
    connect(line, &SimLine::pathChanged, this, &SimDevice::reportPath);
    connect(line, &SimLine::notice, this, [this](const QString &text) {
        report(text, {{"event", "notice"}, {"text", text}}, SimLine::monotonicNs());
    });
    connect(&m_gapTimer, &QTimer::timeout, this, &SimDevice::endBurst);
    connect(&m_answerTimer, &QTimer::timeout, this, &SimDevice::answerRest);
    connect(&m_streamTimer, &QTimer::timeout, this, &SimDevice::streamMore);
    connect(&m_hangUpTimer, &QTimer::timeout, this, &SimDevice::hangUpOnceRead);
}

void SimDevice::receive(const QByteArray &bytes, qint64 monoNs) {
    m_lastReceived = monoNs;
    m_gapTimer.start(m_settings.gapMs);
    for (const StreamEvent &event : m_stream.feed(bytes))
        handle(event, monoNs);
}

void SimDevice::endBurst() {
    for (const StreamEvent &event : m_stream.endOfBurst())
        handle(event, m_lastReceived);
}

// An echoing controller sends back everything from its probe on, each piece as soon as it is recognised.
void SimDevice::handle(const StreamEvent &event, qint64 monoNs) {
    if (event.kind == StreamEvent::Probe) {
        startProbe(event, monoNs);
    } else {
        report(event.toText(), event.toJson(), monoNs);
    }
    if (m_step.mode == FaultStep::Echo)
        m_line->write(event.bytes);
}

void SimDevice::startProbe(const StreamEvent &event, qint64 monoNs) {
    // A controller serves one probe at a time. It never touches the program's receive queue: clearing what
    // an earlier probe left there is the program's business, as on a real line.
    cancelPending();
    m_step = m_settings.plan.stepFor(m_probes++);
    QJsonObject json = event.toJson();
    json.insert("mode", m_step.name());
    report(QStringLiteral("%1 #%2 mode=%3").arg(event.toText()).arg(m_probes).arg(m_step.name()), json, monoNs);
    act();
}

void SimDevice::act() {
    switch (m_step.mode) {
    case FaultStep::Ok:
        answer(m_settings.answer);
        break;
    case FaultStep::Delay:
        m_rest = m_settings.answer;
        m_answerTimer.start(m_step.ms);
        break;
    case FaultStep::Split:
        answer(m_settings.answer.left(splitAt));
        m_rest = m_settings.answer.mid(splitAt);
        m_answerTimer.start(m_step.ms);
        break;
    case FaultStep::Stream:
        answer(m_settings.answer);
        m_streamClock.start();
        m_streamTimer.start(streamIntervalMs);
        break;
    case FaultStep::Hangup:
        answer(m_settings.answer);
        m_hangUpPolls = 0;
        m_hangUpTimer.start(hangUpPollMs);
        break;
    default: // Silent says nothing; Echo answers with the probe itself.
        break;
    }
}

void SimDevice::answer(const QByteArray &bytes) {
    m_line->write(bytes);
    const QString text = QString::fromLatin1(bytes);
    report(QStringLiteral("answer #%1 \"%2\"").arg(m_probes).arg(text), {{"event", "answer"}, {"text", text}},
           SimLine::monotonicNs());
}

void SimDevice::answerRest() {
    answer(m_rest);
    m_rest.clear();
}

void SimDevice::streamMore() {
    if (m_streamClock.elapsed() >= m_step.ms) {
        m_streamTimer.stop();
        report(QStringLiteral("stream #%1 ends after %2 ms").arg(m_probes).arg(m_step.ms), {{"event", "stream-end"}},
               SimLine::monotonicNs());
        return;
    }
    m_line->write(streamFiller);
}

void SimDevice::hangUpOnceRead() {
    ++m_hangUpPolls;
    if (m_hangUpPolls < minHangUpPolls || (m_line->unreadCount() > 0 && m_hangUpPolls < maxHangUpPolls))
        return;
    m_hangUpTimer.stop();
    const qint64 droppedAt = SimLine::monotonicNs();
    // Reported once the line is back, so that a line that comes back under a new name has been announced
    // before anyone reads of the hang-up.
    m_line->hangUp();
    report(QStringLiteral("hangup #%1: line dropped").arg(m_probes), {{"event", "hangup"}}, droppedAt);
}

void SimDevice::cancelPending() {
    m_answerTimer.stop();
    m_streamTimer.stop();
    m_hangUpTimer.stop();
    m_rest.clear();
}

void SimDevice::reportPath(const QString &path) {
    report(QStringLiteral("pty %1").arg(path), {{"event", "pty"}, {"path", path}}, SimLine::monotonicNs());
}

void SimDevice::report(const QString &text, QJsonObject json, qint64 monoNs) {
    json.insert("probe", m_probes);
    json.insert("t_us", double(monoNs / 1000));
    emit reported(text, json);
}
