#ifndef COMMANDSTREAM_H
#define COMMANDSTREAM_H

#include "tools/zevr-sim/streamevent.h"

#include <QByteArray>
#include <QVector>

extern const QByteArray probeText; // "ZEVR-3G-Config"

// Cuts the bytes that reach the controller into probes and commands. A command is reported as soon as its
// last byte is there; whatever is left when the line falls quiet is reported as truncated or junk.
class CommandStream {
public:
    QVector<StreamEvent> feed(const QByteArray &bytes);
    QVector<StreamEvent> endOfBurst();

private:
    QVector<StreamEvent> parse(bool endOfBurst);
    bool parseCommand(QVector<StreamEvent> &events, bool endOfBurst);
    bool parseUnknown(QVector<StreamEvent> &events, bool endOfBurst, const QString &problem);
    void parseLeftover(QVector<StreamEvent> &events);
    StreamEvent take(StreamEvent::Kind kind, int length, const QString &problem = QString());

    QByteArray m_buffer;
    QVector<int> m_readStarts; // offsets in m_buffer where a later read began
};

#endif // COMMANDSTREAM_H
