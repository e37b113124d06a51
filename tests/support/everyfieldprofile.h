#ifndef EVERYFIELDPROFILE_H
#define EVERYFIELDPROFILE_H

#include "protocol/profile.h"

// Every field differs from the value the program starts with, so that a key the writer, the reader or the window
// forgets comes back as the start value and a comparison fails. Units 4, 5 and 7 stay checked behind the unchecked
// unit 3, as a window keeps them; an emptied address, a date filled in part and an emptied code are kept as typed.
inline Profiles::Profile everyFieldSet() {
    Profiles::Station station;
    station.multiChannel = true;
    const char *checked = "11011010";
    for (int unit = 0; unit < 8; ++unit)
        station.units[unit] = {checked[unit] == '1', QString::number(201 + unit * 7), unit % 3 != 1};
    station.units[7].address = QString();
    const char *cms[] = {"1010", "0100", "0000", "0001"};
    for (int channel = 0; channel < 4; ++channel) {
        Profiles::Channel &record = station.channels[channel];
        for (int cm = 0; cm < 4; ++cm)
            record.cm[cm] = cms[channel][cm] == '1';
        record.date = QStringLiteral("%1/0%2/20%3").arg(11 + channel).arg(channel + 2).arg(30 + channel);
        record.code = QString(QLatin1Char(char('b' + channel)));
        record.serialNumber = QString::number(99990 + channel);
    }
    station.channels[2].date = QStringLiteral("7/5/2255");
    station.channels[3].code = QString();
    Profiles::Profile profile;
    profile.station = station;
    profile.clock = Profiles::Clock{QStringLiteral("23:59:58"), QStringLiteral("31/12/2099")};
    profile.meter = Profiles::Meter{Commands::MeterType::Pulse, QStringLiteral("1234567.8"), QStringLiteral("99990")};
    return profile;
}

#endif // EVERYFIELDPROFILE_H
