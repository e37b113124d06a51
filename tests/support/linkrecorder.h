#ifndef LINKRECORDER_H
#define LINKRECORDER_H

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QVector>

class SerialThread;

// The link worker's reports in the order the main window receives them, each with the time it came.
class LinkRecorder : public QObject {
    Q_OBJECT

public:
    explicit LinkRecorder(SerialThread *worker);

    static QString opened(const QString &name, int baud = 115200, int lenght = 8, int parity = 0, int stopbit = 1,
                          const QString &xof = QStringLiteral("Нет"));
    static QString notOpened(const QString &name) { return QStringLiteral("not opened ") + name; }

    QStringList reports() const { return m_reports; }
    qint64 elapsedAt(int index) const { return m_times.value(index, -1); } // ms after the recorder's start
    bool waitForCount(int count, int timeoutMs);

signals:
    void recorded(const QString &report);

private:
    void record(const QString &report);

    QElapsedTimer m_clock;
    QStringList m_reports;
    QVector<qint64> m_times;
};

#endif // LINKRECORDER_H
