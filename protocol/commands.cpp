#include "protocol/commands.h"

#include "protocol/fieldcheck.h"

namespace Commands {

namespace {

constexpr quint32 byteMax = 0xFFu;
constexpr quint32 longMax = 0xFFFFFFFFu;

// Collects a command's bytes; the first value that its field cannot carry refuses the whole command.
class CommandBuilder {
public:
    explicit CommandBuilder(char letter) : m_bytes("CMD") { m_bytes.append(letter); }

    // Unsigned arithmetic, so that any value keeps its low bits without overflow.
    void appendByte(quint32 value) { m_bytes.append(char(value & 0xFFu)); }
    void appendBigEndian(quint32 value, int width) {
        for (int shift = 8 * (width - 1); shift >= 0; shift -= 8)
            appendByte(value >> shift);
    }
    void appendBytes(const QByteArray &bytes) { m_bytes.append(bytes); }

    quint32 number(const QString &field, const QString &text, quint32 max) {
        return checked(field, fieldNumber(text, max));
    }
    quint32 checked(const QString &field, const FieldNumber &number) {
        refuse(field, number.problem);
        return number.value;
    }
    void refuse(const QString &field, const QString &problem) {
        if (m_refusal.isEmpty() && !problem.isEmpty()) {
            m_refusal = refusalMessage(field, problem);
            m_field = field;
        }
    }

    // The masks keep three parts in a time or date text; a missing part counts as 0 all the same.
    void appendParts(const QString &field, const ClockParts &parts) {
        refuse(field, parts.problem);
        for (quint32 value : parts.values)
            appendByte(value);
    }

    Encoded result() const {
        return m_refusal.isEmpty() ? Encoded{m_bytes, QString(), QString()} : Encoded{{}, m_refusal, m_field};
    }

private:
    QByteArray m_bytes;
    QString m_refusal;
    QString m_field;
};

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

void appendChannelRecord(CommandBuilder &command, int number, const Channel &channel) {
    const QString suffix = QStringLiteral(" канала %1").arg(number);
    // The label says " " when the channel has no CM number: the address is then 0.
    command.appendByte(command.number(QStringLiteral("адрес") + suffix, channel.addressLabel.trimmed(), byteMax));
    command.appendByte(quint32(checkedCmCount(channel)));
    command.appendParts(QStringLiteral("дата выпуска") + suffix, calendarDate(channel.date));
    // An emptied code field still takes its byte, so the records after it keep their offsets.
    command.refuse(QStringLiteral("код подразделения") + suffix, codeLetterProblem(channel.code));
    command.appendByte(channel.code.isEmpty() ? 0u : channel.code.at(0).unicode());
    command.appendBigEndian(command.number(QStringLiteral("порядковый номер") + suffix, channel.serialNumber, longMax),
                            4);
    const quint32 further = furtherCmNumbers(channel);
    // The further CM numbers go out low byte first.
    command.appendByte(further);
    command.appendByte(further >> 8);
}

// A reading such as "0001234.5" in tenths of a kWh, computed from the digits themselves so that no
// floating-point rounding can change the last digit.
quint32 readingTenths(CommandBuilder &command, const QString &reading) {
    const QString field = QStringLiteral("текущее значение");
    const int point = reading.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? reading : reading.left(point);
    const QString tenth = point < 0 ? QString() : reading.mid(point + 1);
    if (!isAsciiDigits(whole) || !isAsciiDigits(tenth)) {
        command.refuse(field, QStringLiteral("«%1»: допустимы только цифры 0–9 и точка").arg(reading));
        return 0;
    }
    if (tenth.size() > 1) {
        command.refuse(field, QStringLiteral("«%1»: после точки допустима одна цифра").arg(reading));
        return 0;
    }
    // Four bytes of tenths end at 429496729.5; a larger reading would wrap to a small one.
    const FieldNumber wholeValue = fieldNumber(whole, longMax);
    const quint64 tenths =
        quint64(wholeValue.value) * 10u + (tenth.isEmpty() ? 0u : quint64(tenth.at(0).unicode() - '0'));
    if (wholeValue.problem.isEmpty() && tenths <= longMax)
        return quint32(tenths);
    command.refuse(
        field,
        QStringLiteral("%1 больше %2.%3 и не помещается в команду").arg(reading).arg(longMax / 10u).arg(longMax % 10u));
    return 0;
}

} // namespace

Encoded singleChannel(const ControlUnits &units) {
    QByteArray addresses;
    quint32 analogMask = 0;
    CommandBuilder command('w');
    for (int index = 0; index < ControlUnitCount; ++index) {
        if (!units[index].included)
            continue;
        const QString field = QStringLiteral("адрес БУ%1").arg(index + 1);
        addresses.append(char(command.number(field, units[index].address, byteMax)));
        if (units[index].analog)
            analogMask |= 1u << index;
    }
    command.appendByte(quint32(addresses.size()));
    command.appendBytes(addresses);
    command.appendBigEndian(analogMask, 4);
    return command.result();
}

Encoded multiChannel(const Channels &channels) {
    CommandBuilder command('x');
    for (int index = 0; index < ChannelCount; ++index)
        appendChannelRecord(command, index + 1, channels[index]);
    return command.result();
}

Encoded dateTime(const QString &time, const QString &date) {
    CommandBuilder command('y');
    command.appendParts(QStringLiteral("время"), clockTime(time));
    command.appendParts(QStringLiteral("дата"), calendarDate(date));
    return command.result();
}

Encoded meter(MeterType type, const QString &reading, const QString &coefficient) {
    CommandBuilder command('z');
    command.appendByte(quint32(type));
    // The fields of a meter that is not a pulse meter do not go out, so they cannot refuse the command.
    const bool pulse = type == MeterType::Pulse;
    command.appendBigEndian(pulse ? readingTenths(command, reading) : 0u, 4);
    const quint32 constantTens =
        pulse ? command.checked(QStringLiteral("коэффициент"), pulseConstantTens(coefficient)) : 0u;
    command.appendBigEndian(constantTens, 2);
    return command.result();
}

} // namespace Commands
