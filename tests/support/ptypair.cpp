#include "support/ptypair.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QSocketNotifier>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
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

PtyPair::~PtyPair() {
    hangUp();
    if (m_slave >= 0)
        ::close(m_slave);
}

int PtyPair::probesReceived() const { return m_received.count("ZEVR-3G-Config"); }

bool PtyPair::write(const QByteArray &data) {
    // A few bytes at a time, far below what the line holds.
    return m_master >= 0 && ::write(m_master, data.constData(), size_t(data.size())) == data.size();
}

void PtyPair::answerEachProbe(const QByteArray &answer) {
    m_answer = answer;
    m_probesAnswered = probesReceived();
}

void PtyPair::hangUp() {
    if (m_master < 0)
        return;
    // This may run inside the notifier's own signal, so it goes later; disabled, it no longer watches.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    ::close(m_master);
    m_master = -1;
}

bool PtyPair::stopOutput() { return ::tcflow(m_slave, TCOOFF) == 0; }

bool PtyPair::waitForReceived(int count, int timeoutMs) {
    QSignalSpy spy(this, &PtyPair::dataReceived);
    const QDeadlineTimer deadline(timeoutMs);
    while (m_received.size() < count && spy.wait(int(deadline.remainingTime()))) {
    }
    return m_received.size() >= count;
}

void PtyPair::readMaster() {
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return;
    m_received.append(buffer, int(n));
    for (; !m_answer.isEmpty() && m_probesAnswered < probesReceived(); ++m_probesAnswered)
        write(m_answer);
    emit dataReceived(QByteArray(buffer, int(n)));
}
