#ifndef PORTLIST_H
#define PORTLIST_H

#include <QStringList>

#include <functional>

using PortLister = std::function<QStringList()>;

// The names of the serial ports that the system lists, in the system's order. Tests replace the
// source, since pseudo-terminals are never listed.
QStringList availablePortNames();
void setPortLister(PortLister lister);

#endif // PORTLIST_H
