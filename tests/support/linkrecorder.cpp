#include "support/linkrecorder.h"

#include "serial/serialthread.h"

#include <QDeadlineTimer>
#include <QSignalSpy>

LinkRecorder::LinkRecorder(SerialThread *worker) {
    m_clock.start();
    connect(worker, &SerialThread::signal_port_opend, this,
            [this](QString name, int baud, int lenght, quint8 parity, int stopbit, QString xof) {
                record(opened(name, baud, lenght, parity, stopbit, xof));
            });
    connect(worker, &SerialThread::signal_port_notopend, this, [this](QString name) { record(notOpened(name)); });
    connect(worker, &SerialThread::signal_show_message, this, &LinkRecorder::record);
}

QString LinkRecorder::opened(const QString &name, int baud, int lenght, int parity, int stopbit, const QString &xof) {
    return QStringLiteral("opened %1 %2 %3 %4 %5 %6").arg(name).arg(baud).arg(lenght).arg(parity).arg(stopbit).arg(xof);
}

bool LinkRecorder::waitForCount(int count, int timeoutMs) {
    QSignalSpy spy(this, &LinkRecorder::recorded);
    const QDeadlineTimer deadline(timeoutMs);
    while (m_reports.size() < count && spy.wait(int(deadline.remainingTime()))) {
    }
    return m_reports.size() >= count;
}

void LinkRecorder::record(const QString &report) {
    m_reports << report;
    m_times << m_clock.elapsed();
    emit recorded(report);
}
