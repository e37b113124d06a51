#ifndef COMMANDDECODER_H
#define COMMANDDECODER_H

#include <QByteArray>
#include <QJsonObject>
#include <QString>

// What the first bytes of a frame that starts with "CMD" tell about its length.
struct FrameHead {
    enum Status { NeedMore, Known, UnknownLetter, BadCount };
    Status status = NeedMore;
    int length = 0; // whole frame, prefix included; valid when status is Known
};

struct DecodedCommand {
    char letter = 0;
    QString text;     // one readable line, e.g. "y time=23:59:59 date=31/12/2099"
    QJsonObject json; // the same fields as numbers
};

extern const QByteArray commandPrefix; // "CMD"
constexpr int maxUnits = 8;

// The letter gives the length, except 'w', whose unit count byte does.
FrameHead inspectFrameHead(const QByteArray &frame);

// `frame` holds exactly the length that inspectFrameHead() reported as Known.
DecodedCommand decodeCommand(const QByteArray &frame);

#endif // COMMANDDECODER_H
