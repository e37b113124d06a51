#ifndef SIMOPTIONS_H
#define SIMOPTIONS_H

#include "tools/zevr-sim/simdevice.h"

#include <QString>
#include <QStringList>

// The command line of zevr-sim.
struct SimOptions {
    QString port; // empty: a new pseudo-terminal
    qint32 baud = 115200;
    QString link; // a symbolic link kept pointing at the pseudo-terminal
    bool json = false;
    bool help = false;
    SimDevice::Settings device;

    // `arguments` includes the program name, as QCoreApplication::arguments() gives it.
    static bool parse(const QStringList &arguments, SimOptions *options, QString *error);
    static QString helpText();
};

#endif // SIMOPTIONS_H
