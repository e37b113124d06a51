#ifndef PORTLIST_H
#define PORTLIST_H

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// What the system tells about one serial port besides its name, which alone changes between plug-ins.
struct PortDetails {
    QString name;
    QString description;
    QString manufacturer;
    QString serialNumber;
};

using PortLister = std::function<QStringList()>;
using PortDetailsLister = std::function<QList<PortDetails>()>;

// The serial ports that the system lists, in the system's order. Tests replace the source, since
// pseudo-terminals are never listed; either setter replaces it for both functions, and nullptr restores
// the system's list.
QStringList availablePortNames();
QList<PortDetails> availablePortDetails();
void setPortLister(PortLister lister);
void setPortDetailsLister(PortDetailsLister lister);

#endif // PORTLIST_H
