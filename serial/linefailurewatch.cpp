#include "serial/linefailurewatch.h"

namespace {
constexpr int readErrorsOfDeadLine = 3;
constexpr int readErrorWindowMs = 100;
} // namespace

bool LineFailureWatch::isDead(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError)
        return error == QSerialPort::WriteError || error == QSerialPort::ResourceError;
    if (m_readErrors == 0 || m_clock.elapsed() > readErrorWindowMs) {
        m_readErrors = 0;
        m_clock.start();
    }
    return ++m_readErrors >= readErrorsOfDeadLine;
}

void LineFailureWatch::reset() { m_readErrors = 0; }
