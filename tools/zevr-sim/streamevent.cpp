#include "tools/zevr-sim/streamevent.h"

QString kindName(StreamEvent::Kind kind) {
    static const char *const names[] = {"probe", "command", "junk", "truncated", "unknown"};
    return QString::fromLatin1(names[kind]);
}

// A stream of junk can be long; the line stays readable and says how much it left out.
QString hexDump(const QByteArray &bytes, int limit) {
    QString text = QString::fromLatin1(bytes.left(limit).toHex(' ').toUpper());
    if (bytes.size() > limit)
        text += QStringLiteral(" … (%1 more)").arg(bytes.size() - limit);
    return text;
}

QString StreamEvent::toText() const {
    const QString pieceNote = pieces > 1 ? QStringLiteral(" (arrived in %1 pieces)").arg(pieces) : QString();
    switch (kind) {
    case Probe:
        return QStringLiteral("probe") + pieceNote;
    case Command:
        return command.text + pieceNote;
    case Junk:
        return QStringLiteral("junk, %1 bytes: %2").arg(bytes.size()).arg(hexDump(bytes));
    default:
        return QStringLiteral("%1 %2: %3").arg(kindName(kind), problem, hexDump(bytes));
    }
}

QJsonObject StreamEvent::toJson() const {
    QJsonObject json = kind == Command ? command.json : QJsonObject();
    json.insert("event", kindName(kind));
    json.insert("hex", QString::fromLatin1(bytes.toHex().toUpper()));
    json.insert("pieces", pieces);
    if (!problem.isEmpty())
        json.insert("problem", problem);
    return json;
}
