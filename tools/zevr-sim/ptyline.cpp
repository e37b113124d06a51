#include "tools/zevr-sim/ptyline.h"

#include <QSocketNotifier>
#include <QTimer>

#include <errno.h>
#include <fcntl.h>
#include <pty.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

PtyLine::PtyLine(QObject *parent) : SimLine(parent) {}

PtyLine::~PtyLine() { closeAll(); }

bool PtyLine::open(QString *error) {
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0) {
        *error = QStringLiteral("cannot create a pseudo-terminal: %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    // Until the program configures the port, nothing may be echoed or translated.
    makeRaw(m_slave);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
    m_path = QString::fromLocal8Bit(name);
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyLine::readMaster);
    return true;
}

void PtyLine::makeRaw(int fd) {
    termios settings{};
    if (tcgetattr(fd, &settings) != 0)
        return;
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
}

void PtyLine::readMaster() {
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(m_master, buffer, sizeof buffer);
        if (count > 0) {
            emit received(QByteArray(buffer, int(count)), monotonicNs());
            continue;
        }
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno != EAGAIN) {
            // Without any slave open the master reports EIO on every poll; pause rather than spin.
            m_notifier->setEnabled(false);
            QTimer::singleShot(10, this, &PtyLine::resumeReading);
        }
        return;
    }
}

void PtyLine::resumeReading() {
    if (m_notifier)
        m_notifier->setEnabled(true);
}

// A program that does not read is like a receiver that is switched off: what does not fit is lost.
void PtyLine::write(const QByteArray &bytes) {
    const char *data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t count = ::write(m_master, data, size_t(left));
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        data += count;
        left -= count;
    }
}

int PtyLine::unreadCount() const {
    int count = 0;
    if (m_slave < 0 || ioctl(m_slave, FIONREAD, &count) != 0)
        return 0;
    return count;
}

// A pseudo-terminal shares one set of terminal settings between its ends, so the program's choice shows here. Linux
// keeps the speed, the stop bits and the odd-parity flag, but clears the parity enable bit and forces 8 data bits.
QJsonObject PtyLine::lineSettings() const {
    termios settings{};
    if (m_slave < 0 || tcgetattr(m_slave, &settings) != 0)
        return {};
    const QList<QPair<speed_t, int>> speeds = {{B1200, 1200},   {B2400, 2400},   {B4800, 4800},   {B9600, 9600},
                                               {B19200, 19200}, {B38400, 38400}, {B57600, 57600}, {B115200, 115200}};
    int baud = 0;
    for (const auto &speed : speeds)
        baud = cfgetospeed(&settings) == speed.first ? speed.second : baud;
    const int dataBits = (settings.c_cflag & CSIZE) == CS7 ? 7 : (settings.c_cflag & CSIZE) == CS8 ? 8 : 0;
    return {{"baud", baud},
            {"data_bits", dataBits},
            {"parity_enabled", bool(settings.c_cflag & PARENB)},
            {"parity_odd", bool(settings.c_cflag & PARODD)},
            {"stop_bits", settings.c_cflag & CSTOPB ? 2 : 1}};
}

void PtyLine::hangUp() {
    if (hangUpInPlace())
        return;
    // Without the right to hang up in place, the line goes away with its master and comes back under a new name.
    closeAll();
    QString error;
    if (!open(&error)) {
        emit notice(error);
        return;
    }
    emit pathChanged(m_path);
}

// Hanging up the slave cuts every descriptor the program holds and keeps the name, which needs CAP_SYS_ADMIN.
bool PtyLine::hangUpInPlace() {
    if (m_slave < 0 || ioctl(m_slave, TIOCVHANGUP) != 0)
        return false;
    return reopenSlave();
}

bool PtyLine::reopenSlave() {
    ::close(m_slave);
    m_slave = ::open(m_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return false;
    // The hang-up reset the terminal and may have left the program's exclusive-use flag behind, which
    // would refuse the program's next open.
    makeRaw(m_slave);
    ioctl(m_slave, TIOCNXCL);
    tcflush(m_slave, TCIOFLUSH);
    return true;
}

void PtyLine::closeAll() {
    delete m_notifier;
    m_notifier = nullptr;
    if (m_slave >= 0)
        ::close(m_slave);
    if (m_master >= 0)
        ::close(m_master);
    m_slave = m_master = -1;
}
