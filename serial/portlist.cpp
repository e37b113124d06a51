#include "serial/portlist.h"

#include <QSerialPortInfo>

static QStringList systemPortNames() {
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

static PortLister &currentLister() {
    static PortLister lister = systemPortNames;
    return lister;
}

QStringList availablePortNames() {
    return currentLister()();
}

void setPortLister(PortLister lister) {
    currentLister() = lister ? std::move(lister) : PortLister(systemPortNames);
}
