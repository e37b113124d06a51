#include "serial/serialthread.h"

#include "app/settingsfile.h"
#include "serial/portdiagnosis.h"
#include "serial/portlist.h"

#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>

SerialThread *serial_thread = nullptr;

namespace {

const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
const QByteArray deviceToken = QByteArrayLiteral("ZEVR-3G");
constexpr int quietGapMs = 20;
constexpr int answerTimeoutMs = 1000;
constexpr int writeTimeoutMs = 1000;
constexpr int readErrorsOfDeadLine = 3;
constexpr int readErrorWindowMs = 100;
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

void SerialThread::slot_run() {
    if (!settings_file.exists())
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
        if (attempting)
            emit signal_attempt_failed(m_attemptPort, QStringLiteral("отменено"));
        m_transmitting = false;
        emit signal_transmission_finished(m_currentCommandId, Outcome::Cancelled);
    }
    for (const QueuedCommand &command : dropped)
        emit signal_transmission_finished(command.id, Outcome::Cancelled);
}

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
    port->setPortName(name);
    return port->open(QIODevice::ReadWrite);
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

void SerialThread::slot_ReadyRead() {
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
    const QString reason = port->errorString();
    endAttempt();
    if (!sent)
        emit signal_attempt_failed(m_attemptPort, QStringLiteral("команда не ушла целиком: ") + reason);
    const QString outcome = sent ? QStringLiteral("Отправлено. ") : QStringLiteral("Ошибка отправки. ");
    emit signal_show_message(outcome + name + QStringLiteral(" закрыт"));
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
    m_readErrors = 0;
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

// A dead line (the adapter pulled, the far end hung up) reports errors for as long as the port stays open:
// ResourceError or WriteError, or ReadError tens of thousands of times a second. A read notification that finds
// no data reports a single ReadError on a sound line too, so a ReadError counts only when it keeps coming.
bool SerialThread::lineFailed(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError)
        return error == QSerialPort::WriteError || error == QSerialPort::ResourceError;
    if (m_readErrors == 0 || m_readErrorClock.elapsed() > readErrorWindowMs) {
        m_readErrors = 0;
        m_readErrorClock.start();
    }
    if (++m_readErrors >= readErrorsOfDeadLine)
        return true;
    port->clearError();
    return false;
}

void SerialThread::handlePortError(QSerialPort::SerialPortError error) {
    if (m_closing || !lineFailed(error))
        return;
    switch (m_stage) {
    case Stage::Waiting:
        if (answer_buf.contains(deviceToken)) {
            // The device had answered before the line went; it is the command that cannot be written.
            closePort();
            sendCommand();
        } else {
            giveUpOnPort(QStringLiteral("линия пропала: ") + port->errorString());
        }
        break;
    case Stage::Sending:
        // sendCommand() reports the failure once the write loop has returned.
        m_sendFailed = true;
        closePort();
        break;
    case Stage::Idle:
        // Only while the port is being opened and configured; the wait that follows meets the error again.
        break;
    }
}

// The link and the sender carry their own meta-object code, so that a program using them does not pull in the
// window's (and its start-up objects) through the collected moc file.
#include "moc_serialthread.cpp"
