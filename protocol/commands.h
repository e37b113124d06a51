#ifndef COMMANDS_H
#define COMMANDS_H

#include <QByteArray>
#include <QString>

#include <array>

// Device commands, built from plain values without any widget. Every text is taken as the operator left
// it: nothing is range-checked, and a text that is empty or not a number counts as 0.
namespace Commands {

constexpr int ControlUnitCount = 8;
constexpr int ChannelCount = 4;
constexpr int CmPerChannel = 4;

// One control unit of a single-channel station. Units that are not included keep their place, since
// the mode mask gives every unit its own bit.
struct ControlUnit {
    bool included = false;
    QString address;
    bool analog = false; // "4-20 мА" instead of "GSM/RS-485"
};
using ControlUnits = std::array<ControlUnit, ControlUnitCount>;

// One channel of a multi-channel station, as its group of widgets shows it.
struct Channel {
    QString addressLabel; // lowest checked CM number, " " or empty when there is none
    std::array<bool, CmPerChannel> cmChecked{};
    QString date; // "dd/MM/yyyy"
    QString code; // one letter
    QString serialNumber;
};
using Channels = std::array<Channel, ChannelCount>;

enum class MeterType : quint8 { None = 0, Pulse = 1, Rs485 = 2 };

// 'w': count, the packed addresses of the included units, then the analog-mode mask.
QByteArray singleChannel(const ControlUnits &units);

// 'x': four 12-byte channel records.
QByteArray multiChannel(const Channels &channels);
QByteArray channelRecord(const Channel &channel);

// 'y': time "hh:mm:ss" and date "dd/MM/yyyy".
QByteArray dateTime(const QString &time, const QString &date);

// 'z': the reading (kWh with one decimal) and the pulse constant count only for a pulse meter.
QByteArray meter(MeterType type, const QString &reading, const QString &coefficient);

// Base-10 value of a text; 0 when it is empty or not a number.
int decimalValue(const QString &text);

// A reading such as "0001234.5" in tenths of a kWh, computed from the digits themselves so that no
// floating-point rounding can change the last digit. Low 32 bits; 0 when the text is not a number.
quint32 readingTenths(const QString &text);

} // namespace Commands

#endif // COMMANDS_H
