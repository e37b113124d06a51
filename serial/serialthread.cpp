#include "serial/serialthread.h"

#include "serial/linktiming.h"
#include "serial/portlist.h"
#include "workfiles/settingsfile.h"
#include "workfiles/systemreason.h"

#include <QElapsedTimer>
#include <QTimer>

SerialThread *serial_thread = nullptr;

using namespace LinkTiming;

SerialThread::SerialThread(QObject *parent) : QObject(parent), port(new QSerialPort) {
    qRegisterMetaType<SerialThread::Outcome>();
    tDataRecv = new QTimer(this);
    tDataRecv->setSingleShot(true);
    tDataRecv->setTimerType(Qt::PreciseTimer);
    connect(tDataRecv, &QTimer::timeout, this, &SerialThread::slot_data_recv);
    tWaitAnswer = new QTimer(this);
    tWaitAnswer->setSingleShot(true);
    tWaitAnswer->setTimerType(Qt::PreciseTimer);
    connect(tWaitAnswer, &QTimer::timeout, this, &SerialThread::slot_tWaitAnswer_timeout);
    connect(port, &QSerialPort::readyRead, this, &SerialThread::slot_ReadyRead);
    connect(this, &SerialThread::signal_Open_Send_Request, this, &SerialThread::slot_Open_Send_Request);
    connect(port, &QSerialPort::errorOccurred, this, &SerialThread::handlePortError);
    answer_buf.clear();
}

SerialThread::~SerialThread() {
    // Closing the port may report an error; nothing is left to react to it.
    port->disconnect(this);
    delete port;
}

// A file that gives nothing (unreadable, damaged, no known key) leaves the start values, which can reach a
// controller; its empty values (baud 0, odd parity, two stop bits) never could. Start-up's notice says why.
void SerialThread::slot_run() {
    if (!settings_file.exists() || !check_settings_file().ok())
        return;
    applyConnectionValues(connectionValuesFromMap(read_settings_map()));
}

void SerialThread::applyConnectionValues(const ConnectionValues &values) {
    com_port = values.com_port;
    baud = values.baud;
    parity = values.parity;
    stopbit = values.stopbit;
    lenght = values.lenght;
    com_auto = values.com_auto;
}

void SerialThread::setHoldPort(bool hold) {
    m_holdPort = hold;
    if (!hold && !m_transmitting)
        closePort();
}

void SerialThread::slot_data_send(QByteArray command) {
    // A command that arrives while another is on its way waits for its turn: the port object serves one
    // attempt at a time, and each command gets its own reports.
    const quint64 id = ++m_lastCommandId;
    m_queue.append({id, command});
    emit signal_command_queued(id, command);
    startQueuedCommands();
}

void SerialThread::startQueuedCommands() {
    if (m_transmitting || m_startingQueued)
        return;
    // A transmission may end before beginTransmission() returns (no port listed, none that opens); the loop
    // then takes the next command instead of nesting one transmission inside another.
    m_startingQueued = true;
    while (!m_transmitting && !m_queue.isEmpty())
        beginTransmission(m_queue.takeFirst());
    m_startingQueued = false;
}

void SerialThread::beginTransmission(const QueuedCommand &command) {
    m_transmitting = true;
    m_currentCommandId = command.id;
    emit signal_transmission_started(command.id);
    port_list.clear();
    pending_command = command.bytes;
    if (!com_auto) {
        slot_Open_Send_Request(com_port);
        return;
    }
    port_list = availablePortNames();
    if (port_list.isEmpty()) {
        emit signal_no_port_found();
        endTransmission(Outcome::NoPort);
        return;
    }
    emit signal_Open_Send_Request(port_list.first());
}

void SerialThread::endTransmission(Outcome outcome) {
    m_transmitting = false;
    emit signal_transmission_finished(m_currentCommandId, outcome);
    startQueuedCommands();
}

void SerialThread::slot_cancel() {
    const QList<QueuedCommand> dropped = m_queue;
    m_queue.clear();
    if (m_transmitting) {
        port_list.clear();
        const bool attempting = m_stage != Stage::Idle;
        endAttempt();
        closePort();
        if (attempting)
            emit signal_attempt_failed(m_attemptPort, QStringLiteral("отменено"));
        m_transmitting = false;
        emit signal_transmission_finished(m_currentCommandId, Outcome::Cancelled);
    }
    for (const QueuedCommand &command : dropped)
        emit signal_transmission_finished(command.id, Outcome::Cancelled);
}

void SerialThread::slot_ReadyRead() {
    if (m_stage == Stage::Idle) {
        // A held port between attempts: nothing that comes now answers a probe.
        port->readAll();
        return;
    }
    tDataRecv->start(quietGapMs);
    answer_buf.append(port->readAll());
}

void SerialThread::slot_data_recv() {
    const bool answered = m_stage == Stage::Waiting && answer_buf.contains(deviceToken);
    answer_buf.clear();
    if (answered)
        sendCommand();
    else if (m_stage == Stage::Waiting && m_answerLate)
        giveUpOnPort(QStringLiteral("нет ответа")); // the answer time is over, and what came after it was not one
}

void SerialThread::sendCommand() {
    m_stage = Stage::Sending;
    m_sendFailed = false;
    tWaitAnswer->stop();
    emit signal_show_message(QStringLiteral("Обнаружено устройство"));
    const QString name = port->portName();
    if (pending_command.isEmpty()) {
        // Only asked whether a controller answers.
        endAttempt();
        endTransmission(Outcome::Sent);
        return;
    }
    emit signal_show_message(QStringLiteral("Отправка сообщения"));
    const bool sent = writeCommand(pending_command);
    // A line that only stalls reports no error of its own ("Unknown error"): the time that ran out is the reason.
    const bool stalled = !m_sendFailed && port->isOpen() && port->bytesToWrite() > 0;
    const QString reason = stalled ? QStringLiteral("порт не передал её за %1 мс").arg(writeTimeoutMs)
                                   : SystemReason::withOriginal(port->errorString());
    endAttempt();
    if (!sent) {
        closePort();
        emit signal_attempt_failed(m_attemptPort, QStringLiteral("команда не ушла целиком: ") + reason);
    }
    const QString outcome = sent ? QStringLiteral("Отправлено. ") : QStringLiteral("Ошибка отправки. ");
    // A held port stays open, and the report says no more than that.
    emit signal_show_message(outcome + name + (port->isOpen() ? QString() : QStringLiteral(" закрыт")));
    endTransmission(sent ? Outcome::Sent : Outcome::SendFailed);
}

bool SerialThread::writeCommand(const QByteArray &command) {
    if (m_sendFailed || !port->isOpen() || port->write(command) != command.size())
        return false;
    // waitForBytesWritten() returns once the first chunk has gone; the command has left only when
    // nothing of it is left to write.
    QElapsedTimer clock;
    clock.start();
    while (!m_sendFailed && port->isOpen() && port->bytesToWrite() > 0) {
        const qint64 left = writeTimeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        port->waitForBytesWritten(int(left));
    }
    return !m_sendFailed && port->isOpen() && port->bytesToWrite() == 0;
}

// The controller may answer up to the end of the 1000 ms. An answer begun by then is judged once its quiet gap has
// ended, but no later than one gap after the 1000 ms: a line that keeps streaming is given up then, which also stops
// the answer buffer from growing.
void SerialThread::slot_tWaitAnswer_timeout() {
    if (m_stage != Stage::Waiting)
        return;
    if (!m_answerLate) {
        const quint64 attempt = m_attempt;
        readWaitingBytes();
        if (attempt != m_attempt || m_stage != Stage::Waiting)
            return; // reading found the line dead, and that ended the attempt
        if (tDataRecv->isActive()) {
            m_answerLate = true;
            tWaitAnswer->start(quietGapMs);
            return;
        }
    }
    giveUpOnPort(QStringLiteral("нет ответа"));
}

// Bytes that reached the line in time count even if the event loop has not yet told of them: reading them now
// starts their quiet gap.
void SerialThread::readWaitingBytes() {
    port->waitForReadyRead(0);
    port->clearError(); // the time-out of that zero wait
}

void SerialThread::handlePortError(QSerialPort::SerialPortError error) {
    if (m_closing)
        return;
    if (!m_lineFailure.isDead(error)) {
        if (error == QSerialPort::ReadError)
            port->clearError();
        return;
    }
    switch (m_stage) {
    case Stage::Waiting:
        if (answer_buf.contains(deviceToken)) {
            // The device had answered before the line went; it is the command that cannot be written.
            closePort();
            sendCommand();
        } else {
            const QString reason = QStringLiteral("линия пропала: ") + SystemReason::withOriginal(port->errorString());
            closePort();
            giveUpOnPort(reason);
        }
        break;
    case Stage::Sending:
        // sendCommand() reports the failure once the write loop has returned.
        m_sendFailed = true;
        closePort();
        break;
    case Stage::Idle:
        // While the port is being opened and configured the wait that follows meets the error again. A held port
        // whose line dies between transmissions is closed, and the next one opens it anew.
        if (m_holdPort && !m_transmitting)
            closePort();
        break;
    }
}

// The link and the sender carry their own meta-object code, so that a program using them does not pull in the
// window's (and its start-up objects) through the collected moc file.
#include "moc_serialthread.cpp"
