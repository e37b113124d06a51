#ifndef PROFILE_H
#define PROFILE_H

#include "protocol/commands.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

// Every value of the three tabs, as the operator left them, so that a station can be configured again without
// retyping it. A tab that a profile leaves out is not part of it: opening the profile keeps that tab as it is.
namespace Profiles {

struct Unit {
    bool checked = false;
    QString address;
    bool analog = false; // "4-20 мА" instead of "GSM/RS-485"

    bool operator==(const Unit &other) const {
        return checked == other.checked && address == other.address && analog == other.analog;
    }
};

struct Channel {
    std::array<bool, Commands::CmPerChannel> cm{};
    QString date = QStringLiteral("01/01/2017");
    QString code = QStringLiteral("A");
    QString serialNumber = QStringLiteral("01234");

    bool operator==(const Channel &other) const {
        return cm == other.cm && date == other.date && code == other.code && serialNumber == other.serialNumber;
    }
};

struct Station {
    Station();

    bool multiChannel = false;
    std::array<Unit, Commands::ControlUnitCount> units;
    std::array<Channel, Commands::ChannelCount> channels;

    bool operator==(const Station &other) const {
        return multiChannel == other.multiChannel && units == other.units && channels == other.channels;
    }
};

struct Clock {
    QString time = QStringLiteral("00:00:00");
    QString date = QStringLiteral("01/01/2017");

    bool operator==(const Clock &other) const { return time == other.time && date == other.date; }
};

struct Meter {
    Commands::MeterType type = Commands::MeterType::None;
    QString reading = QStringLiteral("0000000.0");
    QString coefficient = QStringLiteral("3200");

    bool operator==(const Meter &other) const {
        return type == other.type && reading == other.reading && coefficient == other.coefficient;
    }
};

// A section that the file does not hold is empty. A section that it holds sets its whole tab: a key it leaves
// out takes the value the program starts with.
struct Profile {
    std::optional<Station> station;
    std::optional<Clock> clock;
    std::optional<Meter> meter;

    bool operator==(const Profile &other) const {
        return station == other.station && clock == other.clock && meter == other.meter;
    }
};

// The file's content, or the first problem and the line it stands on (0 when it concerns the file as a whole).
struct ReadResult {
    Profile profile;
    QString problem;
    int line = 0;

    bool isValid() const { return problem.isEmpty(); }
    QString message() const; // "строка 12: ..." or the problem alone
};

constexpr int formatVersion = 1;

// Reads a profile and checks every value as a send would, plus what the tab itself allows (the field's mask,
// one channel per CM number), so that a profile that reads without a problem can be shown and sent whole.
ReadResult readProfile(const QByteArray &content);
QByteArray writeProfile(const Profile &profile);

// The commands that the tabs would send with these values, after the tab's own rules: a unit behind an
// unchecked one is left out, and a channel's network address is its lowest CM number.
Commands::Encoded stationCommand(const Station &station);
Commands::Encoded clockCommand(const Clock &clock);
Commands::Encoded meterCommand(const Meter &meter);

} // namespace Profiles

#endif // PROFILE_H
