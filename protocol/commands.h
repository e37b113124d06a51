#ifndef COMMANDS_H
#define COMMANDS_H

#include <QByteArray>
#include <QString>

#include <array>

// Device commands, built from plain values without any widget. Every text is taken as the operator left it:
// an empty field counts as 0, and a value that fits its field goes out as it stands, whether or not a
// controller would accept it. A value that its field cannot carry unchanged (an address of 300, a year of
// 1999, a Cyrillic code letter, digits of another script, a pulse constant that is not a whole number of tens)
// refuses the whole command instead of going out cut, and so does a time or date that no clock can hold.
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

// A command's bytes, or the status text that says which field kept it from going out.
struct Encoded {
    QByteArray bytes; // empty when refused
    QString refusal;
    QString field; // the refused field as the refusal names it ("адрес БУ2", "дата"), so the window can point at it

    bool isRefused() const { return !refusal.isEmpty(); }
};

// 'w': count, the packed addresses of the included units, then the analog-mode mask.
Encoded singleChannel(const ControlUnits &units);

// 'x': four 12-byte channel records.
Encoded multiChannel(const Channels &channels);

// 'y': time "hh:mm:ss" and date "dd/MM/yyyy".
Encoded dateTime(const QString &time, const QString &date);

// 'z': the reading (kWh with one decimal) and the pulse constant count only for a pulse meter.
Encoded meter(MeterType type, const QString &reading, const QString &coefficient);

} // namespace Commands

#endif // COMMANDS_H
