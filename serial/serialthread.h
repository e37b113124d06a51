#ifndef SERIALTHREAD_H
#define SERIALTHREAD_H

#include "serial/linefailurewatch.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QStringList>

class QTimer;
struct ConnectionValues;

class SerialThread : public QObject {
    Q_OBJECT

public:
    // How a command's transmission ended, for the history and the command-line sender.
    enum class Outcome { Sent, SendFailed, NotFound, NoPort, Cancelled };
    Q_ENUM(Outcome)

    explicit SerialThread(QObject *parent = nullptr);
    ~SerialThread() override;

    void applyConnectionValues(const ConnectionValues &values);
    // Keeps the port open, and so its lock file in place, from one transmission to the next, for a program that owns
    // the line for a whole run (the command-line sender): nobody else gets commands through to its controller between
    // two of them. The port is closed when its line dies, a command fails to go out, on cancel, and when holding
    // ends. The window does not hold: its port is free between commands.
    void setHoldPort(bool hold);

    QSerialPort *port = nullptr;
    QTimer *tDataRecv = nullptr;
    QTimer *tWaitAnswer = nullptr;
    QByteArray answer_buf;
    qint32 baud = 115200;
    quint8 parity = 0;
    quint8 stopbit = 1;
    quint8 lenght = 8;
    QString com_port;
    bool com_auto = true;
    QByteArray pending_command;
    QStringList port_list;

signals:
    void signal_port_opend(QString, int, int, quint8, int, QString);
    void signal_port_notopend(QString);
    void signal_show_message(QString);
    void signal_Open_Send_Request(QString);
    // The automatic search found no port at all to try (adapter unplugged, driver missing); no report follows.
    void signal_no_port_found();

    // Beyond the reports: each command from its queueing to its end, and why an attempt on a port failed. An
    // empty command only asks whether a controller answers; nothing is written after the probe.
    void signal_command_queued(quint64 id, QByteArray command);
    void signal_transmission_started(quint64 id);
    void signal_attempt_failed(QString name, QString reason);
    void signal_transmission_finished(quint64 id, SerialThread::Outcome outcome);

public slots:
    void slot_run();
    void slot_data_recv();
    void slot_data_send(QByteArray command);
    void slot_tWaitAnswer_timeout();
    void slot_ReadyRead();
    void slot_Open_Send_Request(QString name);
    // Stops the search, closes the port and drops every command still waiting.
    void slot_cancel();

private:
    // Where the current attempt on one port stands.
    enum class Stage { Idle, Waiting, Sending };

    void startQueuedCommands();
    struct QueuedCommand {
        quint64 id;
        QByteArray bytes;
    };

    void beginTransmission(const QueuedCommand &command);
    void endTransmission(Outcome outcome);
    bool openPort(const QString &name);
    void sendCommand();
    bool writeCommand(const QByteArray &command);
    void readWaitingBytes();
    void giveUpOnPort(const QString &reason);
    void tryNextCandidate();
    void endAttempt();
    void closePort();
    void handlePortError(QSerialPort::SerialPortError error);

    Stage m_stage = Stage::Idle;
    QList<QueuedCommand> m_queue;
    quint64 m_lastCommandId = 0;
    quint64 m_currentCommandId = 0;
    QString m_attemptPort; // the name the current attempt was asked for; the port object may spell it otherwise
    quint64 m_attempt = 0;
    bool m_transmitting = false;
    bool m_startingQueued = false;
    bool m_closing = false;
    bool m_sendFailed = false;
    bool m_answerLate = false; // the answer time is over; an answer begun in it is being collected
    bool m_walking = false;    // tryNextCandidate() is walking the candidates
    bool m_holdPort = false;
    QString m_openName; // the name the open port was opened under
    LineFailureWatch m_lineFailure;
};

extern SerialThread *serial_thread;

// Sets a port up for the stored connection codes, as the worker does after each open. A port that is not open only
// keeps the values, so tests can read back what a real line would be given: a pseudo-terminal takes neither parity
// nor 7 data bits.
void configureLine(QSerialPort *port, qint32 baud, quint8 lenght, quint8 parity, quint8 stopbit);

#endif // SERIALTHREAD_H
