#ifndef LINKRECORDER_H
#define LINKRECORDER_H

#include "serial/serialthread.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QSignalSpy>
#include <QStringList>
#include <QVector>

// The link worker's reports in the order the main window receives them, each with the time it came.
class LinkRecorder : public QObject {
    Q_OBJECT

public:
    explicit LinkRecorder(SerialThread *worker) {
        m_clock.start();
        connect(worker, &SerialThread::signal_port_opend, this,
                [this](QString name, int baud, int lenght, quint8 parity, int stopbit, QString xof) {
                    record(opened(name, baud, lenght, parity, stopbit, xof));
                });
        connect(worker, &SerialThread::signal_port_notopend, this, [this](QString name) { record(notOpened(name)); });
        connect(worker, &SerialThread::signal_show_message, this, &LinkRecorder::record);
    }

    static QString opened(const QString &name, int baud = 115200, int lenght = 8, int parity = 0, int stopbit = 1,
                          const QString &xof = QStringLiteral("Нет")) {
        return QStringLiteral("opened ") + name + QString::asprintf(" %d %d %d %d ", baud, lenght, parity, stopbit) +
               xof;
    }
    static QString notOpened(const QString &name) { return QStringLiteral("not opened ") + name; }

    QStringList reports() const { return m_reports; }
    qint64 elapsedAt(int index) const { return m_times.value(index, -1); } // ms after the recorder's start

    bool waitForCount(int count, int timeoutMs) {
        QSignalSpy spy(this, &LinkRecorder::recorded);
        const QDeadlineTimer deadline(timeoutMs);
        while (m_reports.size() < count && spy.wait(int(deadline.remainingTime()))) {
        }
        return m_reports.size() >= count;
    }

signals:
    void recorded(const QString &report);

private:
    void record(const QString &report) {
        m_reports << report;
        m_times << m_clock.elapsed();
        emit recorded(report);
    }

    QElapsedTimer m_clock;
    QStringList m_reports;
    QVector<qint64> m_times;
};

#endif // LINKRECORDER_H
