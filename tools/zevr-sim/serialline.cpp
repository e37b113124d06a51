#include "tools/zevr-sim/serialline.h"

#include <QSerialPort>
#include <QTimer>

namespace {
// Long enough for the other side to see the line drop.
constexpr int hangUpMs = 200;
} // namespace

SerialLine::SerialLine(const QString &name, qint32 baud, QObject *parent)
    : SimLine(parent), m_port(new QSerialPort(name, this)) {
    m_port->setBaudRate(baud);
    m_port->setDataBits(QSerialPort::Data8);
    m_port->setParity(QSerialPort::NoParity);
    m_port->setStopBits(QSerialPort::OneStop);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    connect(m_port, &QSerialPort::readyRead, this, &SerialLine::readPort);
}

bool SerialLine::open(QString *error) {
    if (m_port->open(QIODevice::ReadWrite))
        return true;
    *error = QStringLiteral("cannot open %1: %2").arg(m_port->portName(), m_port->errorString());
    return false;
}

QString SerialLine::path() const { return m_port->portName(); }

void SerialLine::readPort() {
    const QByteArray bytes = m_port->readAll();
    if (!bytes.isEmpty())
        emit received(bytes, monotonicNs());
}

void SerialLine::write(const QByteArray &bytes) { m_port->write(bytes); }

int SerialLine::unreadCount() const { return int(m_port->bytesToWrite()); }

// A real port cannot cut the other side's descriptor; dropping DTR and going deaf for a moment is what a
// pulled cable looks like from there.
void SerialLine::hangUp() {
    m_port->close();
    QTimer::singleShot(hangUpMs, this, &SerialLine::reopen);
}

void SerialLine::reopen() {
    QString error;
    if (!open(&error))
        emit notice(error);
}
