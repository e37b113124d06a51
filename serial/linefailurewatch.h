#ifndef LINEFAILUREWATCH_H
#define LINEFAILUREWATCH_H

#include <QElapsedTimer>
#include <QSerialPort>

// Tells a dead line (the adapter pulled, the far end hung up) from a sound one by the errors its port reports.
// A dead line reports ResourceError or WriteError, or ReadError tens of thousands of times a second, for as long
// as the port stays open; a read notification that finds no data reports a single ReadError on a sound line too,
// so a ReadError counts only when it keeps coming.
class LineFailureWatch {
public:
    bool isDead(QSerialPort::SerialPortError error);
    void reset();

private:
    QElapsedTimer m_clock;
    int m_readErrors = 0;
};

#endif // LINEFAILUREWATCH_H
