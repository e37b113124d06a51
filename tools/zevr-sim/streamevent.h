#ifndef STREAMEVENT_H
#define STREAMEVENT_H

#include "protocol/commanddecoder.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// One thing recognised in the bytes that reached the controller.
struct StreamEvent {
    enum Kind { Probe, Command, Junk, Truncated, Unknown };
    Kind kind = Junk;
    QByteArray bytes;
    int pieces = 1;         // reads that delivered the bytes
    DecodedCommand command; // Command only
    QString problem;        // Truncated and Unknown: what is wrong

    QString toText() const;
    QJsonObject toJson() const;
};

QString kindName(StreamEvent::Kind kind);
QString hexDump(const QByteArray &bytes, int limit = 64);

#endif // STREAMEVENT_H
