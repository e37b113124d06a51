#include "support/ptypair.h"

#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
}

PtyPair::PtyPair(QObject *parent) : QObject(parent) {
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
    stopBackgroundReading();
    if (m_hangUp.joinable())
        m_hangUp.join();
    hangUp();
    if (m_slave >= 0)
        ::close(m_slave);
}

bool PtyPair::isValid() const { return !m_path.isEmpty(); }

QString PtyPair::path() const { return m_path; }

QString PtyPair::portName() const { return m_path.startsWith(QLatin1String("/dev/")) ? m_path.mid(5) : m_path; }

int PtyPair::slaveFd() const { return m_slave; }

QByteArray PtyPair::received() const { return m_received; }

int PtyPair::probesReceived() const { return m_received.count(probe); }

bool PtyPair::write(const QByteArray &data) {
    if (m_master < 0)
        return false;
    qint64 done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(m_master, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void PtyPair::answerEachProbe(const QByteArray &answer) {
    m_answer = answer;
    m_answering = true;
    m_probesAnswered = probesReceived();
}

void PtyPair::echoEverything(bool on) { m_echo = on; }

void PtyPair::hangUp() {
    if (m_master < 0)
        return;
    stopBackgroundReading();
    dropNotifier();
    ::close(m_master);
    m_master = -1;
}

bool PtyPair::isHungUp() const { return m_master < 0; }

bool PtyPair::stopOutput() { return ::tcflow(m_slave, TCOOFF) == 0; }

bool PtyPair::resumeOutput() { return ::tcflow(m_slave, TCOON) == 0; }

bool PtyPair::waitForReceived(int count, int timeoutMs) {
    if (m_received.size() >= count)
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &PtyPair::dataReceived, &loop, [&] {
        if (m_received.size() >= count)
            loop.quit();
    });
    timer.start(timeoutMs);
    loop.exec();
    return m_received.size() >= count;
}

void PtyPair::readMaster() {
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n <= 0)
        return;
    const QByteArray chunk(buffer, int(n));
    m_received.append(chunk);
    if (m_echo)
        write(chunk);
    answerNewProbes();
    emit dataReceived(chunk);
}

void PtyPair::answerNewProbes() {
    if (!m_answering)
        return;
    const int probes = probesReceived();
    for (; m_probesAnswered < probes; ++m_probesAnswered)
        write(m_answer);
}

void PtyPair::startBackgroundReading() {
    if (m_master < 0 || m_reader.joinable())
        return;
    m_notifier->setEnabled(false);
    m_stopReading = false;
    m_reader = std::thread([this] { readInBackground(); });
}

void PtyPair::stopBackgroundReading() {
    if (!m_reader.joinable())
        return;
    m_stopReading = true;
    m_reader.join();
    m_received.append(m_backgroundReceived);
    m_backgroundReceived.clear();
    if (m_notifier)
        m_notifier->setEnabled(true);
}

void PtyPair::readInBackground() {
    char buffer[4096];
    pollfd watch{m_master, POLLIN, 0};
    while (!m_stopReading) {
        if (::poll(&watch, 1, 10) <= 0)
            continue;
        const ssize_t n = ::read(watch.fd, buffer, sizeof buffer);
        if (n > 0)
            m_backgroundReceived.append(buffer, int(n));
    }
}

void PtyPair::hangUpAfter(int ms) {
    if (m_master < 0 || m_hangUp.joinable())
        return;
    // The event loop must not watch a descriptor that another thread closes.
    dropNotifier();
    const int master = m_master;
    m_master = -1;
    m_hangUp = std::thread([master, ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::close(master);
    });
}

void PtyPair::dropNotifier() {
    // This may run inside the notifier's own signal, so it goes later; disabled, it no longer watches.
    m_notifier->setEnabled(false);
    m_notifier->deleteLater();
    m_notifier = nullptr;
}
