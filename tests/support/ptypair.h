#ifndef PTYPAIR_H
#define PTYPAIR_H

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QString>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

// A pseudo-terminal in place of a serial line: the program opens the slave by its path, the test plays the
// device on the master. The fixture keeps the slave open, so the line stays up between the program's opens.
class PtyPair : public QObject {
    Q_OBJECT

public:
    PtyPair() {
        char name[128] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
            return;
        // Raw at once, so that nothing written before the program opens the line is altered or echoed.
        termios mode{};
        ::tcgetattr(m_slave, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(m_slave, TCSANOW, &mode);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &PtyPair::readMaster);
    }

    ~PtyPair() override {
        hangUp();
        if (m_slave >= 0)
            ::close(m_slave);
    }

    QString path() const { return m_path; }            // "/dev/pts/N", for QSerialPort
    QString portName() const { return m_path.mid(5); } // "pts/N", as the system lists serial ports
    QByteArray received() const { return m_received; } // every byte the program has written to the line
    int probesReceived() const { return m_received.count("ZEVR-3G-Config"); }

    bool write(const QByteArray &data) {
        // A few bytes at a time, far below what the line holds.
        return m_master >= 0 && ::write(m_master, data.constData(), size_t(data.size())) == data.size();
    }

    void answerEachProbe(const QByteArray &answer) {
        m_answer = answer;
        m_probesAnswered = probesReceived();
    }

    void hangUp() {
        if (m_master < 0)
            return;
        // This may run inside the notifier's own signal, so it goes later; disabled, it no longer watches.
        m_notifier->setEnabled(false);
        m_notifier->deleteLater();
        ::close(m_master);
        m_master = -1;
    }

    bool waitForReceived(int count, int timeoutMs) {
        QSignalSpy spy(this, &PtyPair::dataReceived);
        const QDeadlineTimer deadline(timeoutMs);
        while (m_received.size() < count && spy.wait(int(deadline.remainingTime()))) {
        }
        return m_received.size() >= count;
    }

signals:
    void dataReceived(const QByteArray &chunk);

private:
    void readMaster() {
        char buffer[4096];
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            return;
        m_received.append(buffer, int(n));
        for (; !m_answer.isEmpty() && m_probesAnswered < probesReceived(); ++m_probesAnswered)
            write(m_answer);
        emit dataReceived(QByteArray(buffer, int(n)));
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_received;
    QByteArray m_answer;
    int m_probesAnswered = 0;
};

#endif // PTYPAIR_H
