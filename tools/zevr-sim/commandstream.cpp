#include "tools/zevr-sim/commandstream.h"

const QByteArray probeText = QByteArrayLiteral("ZEVR-3G-Config");

namespace {

// A flood without any marker is reported in parts, keeping a tail that may still grow into one.
constexpr int maxJunkHeld = 4096;

int nextMarker(const QByteArray &bytes, int from) {
    const int command = bytes.indexOf(commandPrefix, from);
    const int probe = bytes.indexOf(probeText, from);
    if (command < 0 || probe < 0)
        return qMax(command, probe);
    return qMin(command, probe);
}

QString letterText(char letter) {
    const auto code = static_cast<quint8>(letter);
    if (code > 0x20 && code < 0x7F)
        return QStringLiteral("'%1' (0x%2)").arg(QLatin1Char(letter)).arg(code, 2, 16, QLatin1Char('0'));
    return QStringLiteral("0x%1").arg(code, 2, 16, QLatin1Char('0'));
}

} // namespace

QVector<StreamEvent> CommandStream::feed(const QByteArray &bytes) {
    if (!m_buffer.isEmpty() && !bytes.isEmpty())
        m_readStarts << m_buffer.size();
    m_buffer += bytes;
    return parse(false);
}

QVector<StreamEvent> CommandStream::endOfBurst() { return parse(true); }

QVector<StreamEvent> CommandStream::parse(bool endOfBurst) {
    QVector<StreamEvent> events;
    while (!m_buffer.isEmpty()) {
        const int marker = nextMarker(m_buffer, 0);
        if (marker > 0) {
            events << take(StreamEvent::Junk, marker);
        } else if (marker < 0) {
            if (endOfBurst)
                parseLeftover(events);
            else if (m_buffer.size() > maxJunkHeld)
                events << take(StreamEvent::Junk, m_buffer.size() - probeText.size());
            break;
        } else if (m_buffer.startsWith(probeText)) {
            events << take(StreamEvent::Probe, probeText.size());
        } else if (!parseCommand(events, endOfBurst)) {
            break;
        }
    }
    return events;
}

// Returns false while the frame waits for more bytes.
bool CommandStream::parseCommand(QVector<StreamEvent> &events, bool endOfBurst) {
    const FrameHead head = inspectFrameHead(m_buffer);
    switch (head.status) {
    case FrameHead::NeedMore:
        if (!endOfBurst)
            return false;
        events << take(StreamEvent::Truncated, m_buffer.size(),
                       m_buffer.size() < 4 ? QStringLiteral("command without its letter")
                                           : QStringLiteral("'w' command without its unit count"));
        return true;
    case FrameHead::Known:
        if (m_buffer.size() >= head.length) {
            StreamEvent event = take(StreamEvent::Command, head.length);
            event.command = decodeCommand(event.bytes);
            events << event;
            return true;
        }
        if (!endOfBurst)
            return false;
        events << take(StreamEvent::Truncated, m_buffer.size(),
                       QStringLiteral("'%1' command, %2 of %3 bytes")
                           .arg(QLatin1Char(m_buffer.at(3)))
                           .arg(m_buffer.size())
                           .arg(head.length));
        return true;
    case FrameHead::BadCount:
        return parseUnknown(events, endOfBurst,
                            QStringLiteral("'w' command with %1 units (at most %2)")
                                .arg(static_cast<quint8>(m_buffer.at(4)))
                                .arg(maxUnits));
    default:
        return parseUnknown(events, endOfBurst, QStringLiteral("command letter %1").arg(letterText(m_buffer.at(3))));
    }
}

// Without a length the bad frame runs up to the next marker, where the stream finds its step again.
bool CommandStream::parseUnknown(QVector<StreamEvent> &events, bool endOfBurst, const QString &problem) {
    const int next = nextMarker(m_buffer, commandPrefix.size());
    if (next < 0 && !endOfBurst)
        return false;
    events << take(StreamEvent::Unknown, next < 0 ? m_buffer.size() : next, problem);
    return true;
}

void CommandStream::parseLeftover(QVector<StreamEvent> &events) {
    if (probeText.startsWith(m_buffer)) {
        const QString problem = QStringLiteral("probe, %1 of %2 bytes").arg(m_buffer.size()).arg(probeText.size());
        events << take(StreamEvent::Truncated, m_buffer.size(), problem);
    } else {
        events << take(StreamEvent::Junk, m_buffer.size());
    }
}

StreamEvent CommandStream::take(StreamEvent::Kind kind, int length, const QString &problem) {
    StreamEvent event;
    event.kind = kind;
    event.bytes = m_buffer.left(length);
    event.problem = problem;
    QVector<int> later;
    for (int start : qAsConst(m_readStarts)) {
        if (start < length)
            ++event.pieces;
        else if (start > length)
            later << start - length;
    }
    m_readStarts = later;
    m_buffer.remove(0, length);
    return event;
}
