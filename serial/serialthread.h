#ifndef SERIALTHREAD_H
#define SERIALTHREAD_H

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
    explicit SerialThread(QObject *parent = nullptr);
    ~SerialThread() override;

    void applyConnectionValues(const ConnectionValues &values);

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

public slots:
    void slot_run();
    void slot_data_recv();
    void slot_data_send(QByteArray command);
    void slot_tWaitAnswer_timeout();
    void slot_ReadyRead();
    void slot_Open_Send_Request(QString name);

private:
    // Where the current attempt on one port stands.
    enum class Stage { Idle, Waiting, Sending };

    void startQueuedCommands();
    void beginTransmission(const QByteArray &command);
    void endTransmission();
    bool openPort(const QString &name);
    void sendCommand();
    bool writeCommand(const QByteArray &command);
    void readWaitingBytes();
    void giveUpOnPort();
    void tryNextCandidate();
    void endAttempt();
    void closePort();
    bool lineFailed(QSerialPort::SerialPortError error);
    void handlePortError(QSerialPort::SerialPortError error);

    Stage m_stage = Stage::Idle;
    QList<QByteArray> m_queue;
    quint64 m_attempt = 0;
    bool m_transmitting = false;
    bool m_startingQueued = false;
    bool m_closing = false;
    bool m_sendFailed = false;
    bool m_answerLate = false; // the answer time is over; an answer begun in it is being collected
    bool m_walking = false;    // tryNextCandidate() is walking the candidates
    QElapsedTimer m_readErrorClock;
    int m_readErrors = 0;
};

extern SerialThread *serial_thread;

// Sets a port up for the stored connection codes, as the worker does after each open. A port that is not open only
// keeps the values, so tests can read back what a real line would be given: a pseudo-terminal takes neither parity
// nor 7 data bits.
void configureLine(QSerialPort *port, qint32 baud, quint8 lenght, quint8 parity, quint8 stopbit);

#endif // SERIALTHREAD_H
