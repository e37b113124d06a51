#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

// A pseudo-terminal in place of a serial line: the program opens the slave by its path, the test plays the
// device on the master. The fixture keeps the slave open, so the line stays up between the program's opens.
class PtyPair : public QObject {
    Q_OBJECT

public:
    PtyPair();
    ~PtyPair() override;

    QString path() const { return m_path; }            // "/dev/pts/N", for QSerialPort
    QString portName() const { return m_path.mid(5); } // "pts/N", as the system lists serial ports
    QByteArray received() const { return m_received; } // every byte the program has written to the line
    int probesReceived() const;

    bool write(const QByteArray &data);
    void answerEachProbe(const QByteArray &answer);
    void hangUp();
    // The program's writes stall, as on a line whose output is held back.
    bool stopOutput();
    bool waitForReceived(int count, int timeoutMs);

signals:
    void dataReceived(const QByteArray &chunk);

private:
    void readMaster();

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_received;
    QByteArray m_answer;
    int m_probesAnswered = 0;
};

#endif // PTYPAIR_H
