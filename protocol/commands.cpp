#include "protocol/commands.h"

#include <QStringList>

namespace Commands {

namespace {

QByteArray frame(char letter) {
    QByteArray command("CMD");
    command.append(letter);
    return command;
}

// Unsigned arithmetic, so that any value keeps its low bits without overflow.
void appendByte(QByteArray &command, quint32 value) { command.append(char(value & 0xFFu)); }

void appendBigEndian16(QByteArray &command, quint32 value) {
    appendByte(command, value >> 8);
    appendByte(command, value);
}

void appendBigEndian32(QByteArray &command, quint32 value) {
    appendBigEndian16(command, value >> 16);
    appendBigEndian16(command, value);
}

// The masks keep three parts in a time or date text; a missing part counts as 0 all the same.
quint32 partValue(const QStringList &parts, int index) { return quint32(decimalValue(parts.value(index))); }

void appendThreeParts(QByteArray &command, const QString &text, QChar separator) {
    const QStringList parts = text.split(separator);
    for (int index = 0; index < 3; ++index)
        appendByte(command, partValue(parts, index));
}

void appendDate(QByteArray &command, const QString &date) {
    const QStringList parts = date.split(QLatin1Char('/'));
    appendByte(command, partValue(parts, 0));
    appendByte(command, partValue(parts, 1));
    appendByte(command, partValue(parts, 2) - 2000u);
}

// An emptied code field still takes its byte, so the records after it keep their offsets.
char codeByte(const QString &code) {
    const QByteArray latin1 = code.toLatin1();
    return latin1.isEmpty() ? '\0' : latin1.at(0);
}

int lowestCheckedCm(const Channel &channel) {
    for (int cm = 1; cm <= CmPerChannel; ++cm)
        if (channel.cmChecked[cm - 1])
            return cm;
    return 0;
}

// Three fixed 4-bit slots for the CM numbers right above the lowest one; a gap leaves its slot 0.
quint32 furtherCmNumbers(const Channel &channel) {
    const int lowest = lowestCheckedCm(channel);
    quint32 slots = 0;
    for (int slot = 0; slot < 3; ++slot) {
        const int cm = lowest + 1 + slot;
        if (lowest > 0 && cm <= CmPerChannel && channel.cmChecked[cm - 1])
            slots |= quint32(cm) << (4 * slot);
    }
    return slots;
}

int checkedCmCount(const Channel &channel) {
    int count = 0;
    for (bool checked : channel.cmChecked)
        count += checked ? 1 : 0;
    return count;
}

bool isAsciiDigits(const QString &text) {
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

quint32 digitValue(QChar c) { return quint32(c.unicode() - '0'); }

} // namespace

int decimalValue(const QString &text) {
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

quint32 readingTenths(const QString &text) {
    const int point = text.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? text : text.left(point);
    const QString fraction = point < 0 ? QString() : text.mid(point + 1);
    if (!isAsciiDigits(whole) || !isAsciiDigits(fraction))
        return 0;
    quint32 tenths = 0;
    for (QChar c : whole)
        tenths = tenths * 10u + digitValue(c);
    // Only the first decimal counts; further ones would be cut off like any fraction of a tenth.
    return tenths * 10u + (fraction.isEmpty() ? 0u : digitValue(fraction.at(0)));
}

QByteArray singleChannel(const ControlUnits &units) {
    QByteArray addresses;
    quint32 analogMask = 0;
    for (int index = 0; index < ControlUnitCount; ++index) {
        if (!units[index].included)
            continue;
        appendByte(addresses, quint32(decimalValue(units[index].address)));
        if (units[index].analog)
            analogMask |= 1u << index;
    }
    QByteArray command = frame('w');
    appendByte(command, quint32(addresses.size()));
    command.append(addresses);
    appendBigEndian32(command, analogMask);
    return command;
}

QByteArray channelRecord(const Channel &channel) {
    QByteArray record;
    appendByte(record, quint32(decimalValue(channel.addressLabel)));
    appendByte(record, quint32(checkedCmCount(channel)));
    appendDate(record, channel.date);
    record.append(codeByte(channel.code));
    appendBigEndian32(record, quint32(decimalValue(channel.serialNumber)));
    const quint32 further = furtherCmNumbers(channel);
    // The further CM numbers go out low byte first.
    appendByte(record, further);
    appendByte(record, further >> 8);
    return record;
}

QByteArray multiChannel(const Channels &channels) {
    QByteArray command = frame('x');
    for (const Channel &channel : channels)
        command.append(channelRecord(channel));
    return command;
}

QByteArray dateTime(const QString &time, const QString &date) {
    QByteArray command = frame('y');
    appendThreeParts(command, time, QLatin1Char(':'));
    appendDate(command, date);
    return command;
}

QByteArray meter(MeterType type, const QString &reading, const QString &coefficient) {
    const bool pulse = type == MeterType::Pulse;
    QByteArray command = frame('z');
    appendByte(command, quint32(type));
    appendBigEndian32(command, pulse ? readingTenths(reading) : 0u);
    appendBigEndian16(command, pulse ? quint32(decimalValue(coefficient) / 10) : 0u);
    return command;
}

} // namespace Commands
