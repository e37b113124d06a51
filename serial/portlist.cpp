#include "serial/portlist.h"

#include <QSerialPortInfo>

static QList<PortDetails> systemPorts() {
    QList<PortDetails> ports;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        ports.append({info.portName(), info.description(), info.manufacturer(), info.serialNumber()});
    return ports;
}

static PortDetailsLister &currentLister() {
    static PortDetailsLister lister = systemPorts;
    return lister;
}

QStringList availablePortNames() {
    QStringList names;
    for (const PortDetails &port : currentLister()())
        names << port.name;
    return names;
}

QList<PortDetails> availablePortDetails() { return currentLister()(); }

void setPortDetailsLister(PortDetailsLister lister) {
    currentLister() = lister ? std::move(lister) : PortDetailsLister(systemPorts);
}

void setPortLister(PortLister lister) {
    if (!lister)
        return setPortDetailsLister(nullptr);
    setPortDetailsLister([lister = std::move(lister)] {
        QList<PortDetails> ports;
        for (const QString &name : lister())
            ports.append({name, {}, {}, {}});
        return ports;
    });
}
