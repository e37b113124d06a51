#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QByteArray>
#include <QObject>
#include <QString>

#include <atomic>
#include <mutex>
#include <thread>

class QSocketNotifier;

// A pseudo-terminal that stands in for a serial line. The program opens the slave side by its path, as it
// would open a serial adapter; the test plays the device on the master side. The fixture keeps its own
// descriptor of the slave open throughout, so the line stays up between the program's opens and closes.
class PtyPair : public QObject {
    Q_OBJECT

public:
    explicit PtyPair(QObject *parent = nullptr);
    ~PtyPair() override;

    bool isValid() const;
    QString path() const;     // "/dev/pts/N", for QSerialPort
    QString portName() const; // "pts/N", as the system lists serial ports
    int slaveFd() const;

    // Every byte the program has written to the line so far.
    QByteArray received() const;
    int probesReceived() const;

    // The device's side of the line.
    bool write(const QByteArray &data);
    void answerEachProbe(const QByteArray &answer);
    void echoEverything(bool on);

    // The device goes away: the master is closed and the program's end of the line breaks.
    void hangUp();
    bool isHungUp() const;

    // The program's writes stall, as on a line whose output is held back.
    bool stopOutput();
    bool resumeOutput();

    bool waitForReceived(int count, int timeoutMs);

    // Keeps reading the line from a thread of its own, for while the program blocks the event loop
    // (it does so while a command leaves). What is read joins received() when the reading stops.
    void startBackgroundReading();
    void stopBackgroundReading();

    // Breaks the line after a delay, from a thread of its own, so that it happens while the program
    // blocks the event loop.
    void hangUpAfter(int ms);

signals:
    void dataReceived(const QByteArray &chunk);

private:
    void readMaster();
    void readInBackground();
    void dropNotifier();
    void answerNewProbes();

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_received;
    QByteArray m_answer;
    int m_probesAnswered = 0;
    bool m_answering = false;
    bool m_echo = false;
    std::thread m_reader;
    std::atomic<bool> m_stopReading{false};
    QByteArray m_backgroundReceived;
    std::thread m_hangUp;
};

#endif // PTYPAIR_H
