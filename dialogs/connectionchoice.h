#ifndef CONNECTIONCHOICE_H
#define CONNECTIONCHOICE_H

#include "app/settingsfile.h"

#include <QString>

class SerialThread;

// The six connection values as the settings dialog shows them, before any conversion.
struct ConnectionChoice {
    QString port;
    QString baud;
    QString lenght;
    QString parity;
    QString stopBit;
    bool autoSearch = true;
};

// Puts the six values into the map under their keys and leaves every other entry alone.
void storeChoice(const ConnectionChoice &choice, SettingsMap &map);

// Gives the worker the same codes that a fresh load of the stored texts would give it.
void applyChoice(const ConnectionChoice &choice, SerialThread &worker);

#endif // CONNECTIONCHOICE_H
