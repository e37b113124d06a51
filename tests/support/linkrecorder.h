#ifndef LINKRECORDER_H
#define LINKRECORDER_H

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QVector>

class SerialThread;

// Collects the link worker's reports in the order the main window would receive them, each with the time
// it arrived, so that tests can compare whole sequences.
class LinkRecorder : public QObject {
    Q_OBJECT

public:
    explicit LinkRecorder(SerialThread *worker, QObject *parent = nullptr);

    static QString opened(const QString &name, int baud = 115200, int lenght = 8, int parity = 0, int stopbit = 1,
                          const QString &xof = QStringLiteral("Нет"));
    static QString notOpened(const QString &name);

    QStringList reports() const;
    int count() const;
    qint64 elapsedAt(int index) const; // ms from the recorder's start to the report
    qint64 elapsed() const;
    int indexOf(const QString &report, int from = 0) const;

    // Waits in an event loop until the condition holds or the time is up; returns the condition.
    bool waitForCount(int count, int timeoutMs);
    bool waitFor(const QString &report, int timeoutMs);

signals:
    void recorded(const QString &report);

private:
    void record(const QString &report);

    QElapsedTimer m_clock;
    QStringList m_reports;
    QVector<qint64> m_times;
};

#endif // LINKRECORDER_H
