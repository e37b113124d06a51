// The link worker's attempts on ports: opening one and sending the probe, giving it up, and the walk over the
// candidates that the automatic search lists.
#include "serial/serialthread.h"

#include "serial/linktiming.h"
#include "serial/portdiagnosis.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

using namespace LinkTiming;

namespace {

// How long a walk through ports that fail to open may hold the event loop before it lets the window breathe.
constexpr int candidateStretchMs = 20;

QSerialPort::Parity parityFromCode(quint8 code) {
    if (code == 2)
        return QSerialPort::EvenParity;
    return code == 3 ? QSerialPort::OddParity : QSerialPort::NoParity;
}

// A name with a control character in it (a damaged settings file) names no device, and the serial library would
// make a lock file for it, which a NUL leaves behind.
bool hasControlCharacter(const QString &name) {
    return std::any_of(name.begin(), name.end(), [](QChar c) { return c.category() == QChar::Other_Control; });
}

} // namespace

void SerialThread::slot_Open_Send_Request(QString name) {
    if (m_stage != Stage::Idle) {
        // The port object is busy with another attempt; taking it over would strand that one.
        emit signal_port_notopend(name);
        emit signal_attempt_failed(name, QStringLiteral("порт занят предыдущей попыткой"));
        return;
    }
    if (!port_list.isEmpty())
        port_list.removeFirst();
    m_transmitting = true;
    const quint64 attempt = ++m_attempt;
    m_attemptPort = name;
    if (!openPort(name)) {
        const QString reason = hasControlCharacter(name)
                                   ? QStringLiteral("в имени порта управляющий символ")
                                   : describeOpenFailure(name, port->error(), port->errorString());
        emit signal_port_notopend(name);
        emit signal_attempt_failed(name, QStringLiteral("не открыт: ") + reason);
        tryNextCandidate();
        return;
    }
    configureLine(port, baud, lenght, parity, stopbit);
    // Whatever reached the port before the probe cannot be the answer to it.
    port->clear(QSerialPort::Input);
    answer_buf.clear();
    m_stage = Stage::Waiting;
    m_answerLate = false;
    emit signal_port_opend(name, baud, lenght, parity, stopbit, QStringLiteral("Нет"));
    if (attempt != m_attempt || m_stage != Stage::Waiting)
        return; // the attempt ended while the report was being shown
    port->write(probe);
    tWaitAnswer->start(answerTimeoutMs);
}

bool SerialThread::openPort(const QString &name) {
    if (hasControlCharacter(name))
        return false;
    if (port->isOpen()) {
        if (m_holdPort && name == m_openName)
            return true; // held from the last transmission
        closePort();
    }
    port->setPortName(name);
    const bool opened = port->open(QIODevice::ReadWrite);
    m_openName = opened ? name : QString();
    return opened;
}

void configureLine(QSerialPort *port, qint32 baud, quint8 lenght, quint8 parity, quint8 stopbit) {
    // The setters' results are not checked: a line that cannot take the settings stays silent, and the
    // opened report shows the stored values.
    port->setBaudRate(baud, QSerialPort::AllDirections);
    port->setDataBits(lenght == 7 ? QSerialPort::Data7 : QSerialPort::Data8);
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->setParity(parityFromCode(parity));
    port->setStopBits(stopbit == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop);
}

void SerialThread::giveUpOnPort(const QString &reason) {
    endAttempt();
    emit signal_attempt_failed(m_attemptPort, reason);
    emit signal_show_message(QStringLiteral("Устройство не обнаружено"));
    tryNextCandidate();
}

// The candidates are walked in this loop, one after the other, rather than each failed attempt starting the next
// from inside itself: a system that lists thousands of ports that cannot be opened would nest as deep and overflow
// the stack. An attempt that fails calls in here again; the walk further up the stack takes its next candidate.
// After each stretch of candidateStretchMs the walk lets the event loop run and goes on from a zero-time timer.
void SerialThread::tryNextCandidate() {
    if (m_walking)
        return;
    m_walking = true;
    QElapsedTimer stretch;
    stretch.start();
    while (m_stage == Stage::Idle && !port_list.isEmpty()) {
        if (stretch.elapsed() >= candidateStretchMs) {
            QTimer::singleShot(0, this, [this] {
                m_walking = false;
                tryNextCandidate();
            });
            return;
        }
        emit signal_Open_Send_Request(port_list.first());
    }
    m_walking = false;
    // A walk resumed from its timer finds nothing to end when "Отмена" ended the transmission meanwhile.
    if (m_stage == Stage::Idle && m_transmitting)
        endTransmission(Outcome::NotFound);
}

void SerialThread::endAttempt() {
    // Nothing of this attempt may be taken for the answer of the next one.
    m_stage = Stage::Idle;
    m_answerLate = false;
    tWaitAnswer->stop();
    tDataRecv->stop();
    answer_buf.clear();
    m_lineFailure.reset();
    if (!m_holdPort)
        closePort();
}

void SerialThread::closePort() {
    // Closing a port whose line is gone reports an error of its own, which must not close it a second time.
    if (m_closing || !port->isOpen())
        return;
    m_closing = true;
    port->close();
    m_closing = false;
}
