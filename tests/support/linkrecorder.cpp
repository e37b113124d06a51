#include "support/linkrecorder.h"

#include "serial/serialthread.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

namespace {

bool waitUntil(LinkRecorder *recorder, const std::function<bool()> &done, int timeoutMs) {
    if (done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(recorder, &LinkRecorder::recorded, &loop, [&] {
        if (done())
            loop.quit();
    });
    timer.start(timeoutMs);
    loop.exec();
    return done();
}

} // namespace

LinkRecorder::LinkRecorder(SerialThread *worker, QObject *parent) : QObject(parent) {
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

QString LinkRecorder::notOpened(const QString &name) { return QStringLiteral("not opened ") + name; }

QStringList LinkRecorder::reports() const { return m_reports; }

int LinkRecorder::count() const { return m_reports.size(); }

qint64 LinkRecorder::elapsedAt(int index) const { return m_times.value(index, -1); }

qint64 LinkRecorder::elapsed() const { return m_clock.elapsed(); }

int LinkRecorder::indexOf(const QString &report, int from) const { return m_reports.indexOf(report, from); }

bool LinkRecorder::waitForCount(int count, int timeoutMs) {
    return waitUntil(
        this, [this, count] { return m_reports.size() >= count; }, timeoutMs);
}

bool LinkRecorder::waitFor(const QString &report, int timeoutMs) {
    return waitUntil(
        this, [this, report] { return m_reports.contains(report); }, timeoutMs);
}

void LinkRecorder::record(const QString &report) {
    m_reports << report;
    m_times << m_clock.elapsed();
    emit recorded(report);
}
