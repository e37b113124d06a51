#include "protocol/commanddecoder.h"

#include <QJsonArray>
#include <QStringList>

const QByteArray commandPrefix = QByteArrayLiteral("CMD");

namespace {

constexpr int headLength = 4; // "CMD" and the letter
constexpr int channelCount = 4;
constexpr int channelLength = 12;

quint8 byteAt(const QByteArray &bytes, int index) { return static_cast<quint8>(bytes.at(index)); }

quint32 bigEndian(const QByteArray &bytes, int index, int width) {
    quint32 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | byteAt(bytes, index + i);
    return value;
}

QString joinNumbers(const QVector<int> &numbers) {
    if (numbers.isEmpty())
        return QStringLiteral("none");
    QStringList texts;
    for (int number : numbers)
        texts << QString::number(number);
    return texts.join(QLatin1Char(','));
}

QJsonArray jsonNumbers(const QVector<int> &numbers) {
    QJsonArray array;
    for (int number : numbers)
        array.append(number);
    return array;
}

QString dateText(int day, int month, int year) { return QString::asprintf("%02d/%02d/%04d", day, month, year); }

// An empty code field goes out as 0x00; anything but a printable character is shown as its value.
QString codeText(quint8 code) {
    if (code == 0)
        return QStringLiteral("-");
    if (code > 0x20 && code < 0x7F)
        return QString(QLatin1Char(static_cast<char>(code)));
    return QString::asprintf("0x%02X", code);
}

DecodedCommand decodeDateTime(const QByteArray &frame) {
    const int hours = byteAt(frame, 4), minutes = byteAt(frame, 5), seconds = byteAt(frame, 6);
    const int day = byteAt(frame, 7), month = byteAt(frame, 8), year = 2000 + byteAt(frame, 9);
    const QString time = QString::asprintf("%02d:%02d:%02d", hours, minutes, seconds);
    const QString date = dateText(day, month, year);
    DecodedCommand command{'y', QStringLiteral("y time=%1 date=%2").arg(time, date), {}};
    command.json = {{"time", time},       {"date", date}, {"hours", hours}, {"minutes", minutes},
                    {"seconds", seconds}, {"day", day},   {"month", month}, {"year", year}};
    return command;
}

QString meterTypeName(int type) {
    switch (type) {
    case 0:
        return QStringLiteral("none");
    case 1:
        return QStringLiteral("pulse");
    case 2:
        return QStringLiteral("rs485");
    default:
        return QStringLiteral("unknown(%1)").arg(type);
    }
}

DecodedCommand decodeMeter(const QByteArray &frame) {
    const int type = byteAt(frame, 4);
    const quint32 tenths = bigEndian(frame, 5, 4);
    const int coef = static_cast<int>(bigEndian(frame, 9, 2)) * 10;
    const QString reading = QStringLiteral("%1.%2").arg(tenths / 10).arg(tenths % 10);
    DecodedCommand command{'z', {}, {}};
    command.text = QStringLiteral("z type=%1 reading=%2 coef=%3").arg(meterTypeName(type), reading).arg(coef);
    command.json = {{"type", meterTypeName(type)},
                    {"type_code", type},
                    {"reading", reading},
                    {"tenths", static_cast<qint64>(tenths)},
                    {"coef", coef}};
    return command;
}

DecodedCommand decodeSingleChannel(const QByteArray &frame) {
    const int units = byteAt(frame, 4);
    QVector<int> addresses, analog;
    for (int i = 0; i < units; ++i)
        addresses << byteAt(frame, 5 + i);
    const quint32 mask = bigEndian(frame, 5 + units, 4);
    for (int unit = 1; unit <= units; ++unit) {
        if (mask & (1u << (unit - 1)))
            analog << unit;
    }
    DecodedCommand command{'w', {}, {}};
    command.text =
        QStringLiteral("w units=%1 addr=%2 analog=%3").arg(units).arg(joinNumbers(addresses), joinNumbers(analog));
    // Bits of units that are not included must be 0; a controller would read them as a mode.
    const quint32 stray = mask & ~((1u << units) - 1);
    if (stray != 0)
        command.text += QString::asprintf(" stray-mask=0x%08X", stray);
    command.json = {{"units", units},
                    {"addresses", jsonNumbers(addresses)},
                    {"analog", jsonNumbers(analog)},
                    {"mask", static_cast<qint64>(mask)}};
    return command;
}

// The two bytes hold three 4-bit slots (low nibble first); a slot holds a CM number or 0.
QVector<int> furtherCmNumbers(const QByteArray &record) {
    const quint16 nibbles = byteAt(record, 10) | (byteAt(record, 11) << 8);
    QVector<int> numbers;
    for (int slot = 0; slot < 4; ++slot) {
        const int number = (nibbles >> (4 * slot)) & 0x0F;
        if (number != 0)
            numbers << number;
    }
    return numbers;
}

QJsonObject channelJson(const QByteArray &record) {
    return {{"addr", byteAt(record, 0)},
            {"cm", byteAt(record, 1)},
            {"date", dateText(byteAt(record, 2), byteAt(record, 3), 2000 + byteAt(record, 4))},
            {"code", codeText(byteAt(record, 5))},
            {"serial", static_cast<qint64>(bigEndian(record, 6, 4))},
            {"more", jsonNumbers(furtherCmNumbers(record))}};
}

QString channelText(int channel, const QJsonObject &json) {
    QStringList more;
    for (const QJsonValue &number : json.value("more").toArray())
        more << QString::number(number.toInt());
    return QStringLiteral("ch%1 addr=%2 cm=%3 date=%4 code=%5 serial=%6 more=%7")
        .arg(channel)
        .arg(json.value("addr").toInt())
        .arg(json.value("cm").toInt())
        .arg(json.value("date").toString(), json.value("code").toString())
        .arg(static_cast<qint64>(json.value("serial").toDouble()))
        .arg(more.isEmpty() ? QStringLiteral("none") : more.join(QLatin1Char(',')));
}

DecodedCommand decodeMultiChannel(const QByteArray &frame) {
    QStringList texts;
    QJsonArray channels;
    for (int channel = 0; channel < channelCount; ++channel) {
        const QJsonObject json = channelJson(frame.mid(headLength + channel * channelLength, channelLength));
        texts << channelText(channel + 1, json);
        channels.append(json);
    }
    return {'x', QStringLiteral("x ") + texts.join(QStringLiteral(" | ")), {{"channels", channels}}};
}

} // namespace

FrameHead inspectFrameHead(const QByteArray &frame) {
    if (frame.size() < headLength)
        return {};
    switch (frame.at(3)) {
    case 'w':
        if (frame.size() <= headLength)
            return {};
        if (byteAt(frame, headLength) > maxUnits)
            return {FrameHead::BadCount, 0};
        return {FrameHead::Known, 9 + byteAt(frame, headLength)};
    case 'x':
        return {FrameHead::Known, headLength + channelCount * channelLength};
    case 'y':
        return {FrameHead::Known, 10};
    case 'z':
        return {FrameHead::Known, 11};
    default:
        return {FrameHead::UnknownLetter, 0};
    }
}

DecodedCommand decodeCommand(const QByteArray &frame) {
    const FrameHead head = inspectFrameHead(frame);
    if (!frame.startsWith(commandPrefix) || head.status != FrameHead::Known || head.length != frame.size())
        return {0, QStringLiteral("not a whole command"), {}};
    DecodedCommand command;
    switch (frame.at(3)) {
    case 'w':
        command = decodeSingleChannel(frame);
        break;
    case 'x':
        command = decodeMultiChannel(frame);
        break;
    case 'y':
        command = decodeDateTime(frame);
        break;
    default:
        command = decodeMeter(frame);
        break;
    }
    command.json.insert("letter", QString(QLatin1Char(command.letter)));
    return command;
}
