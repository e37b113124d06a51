#ifndef LATENCYBENCH_H
#define LATENCYBENCH_H

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QVector>

#include <functional>

class SerialThread;
class SimProcess;

// Sends commands through a real SerialThread to zevr-sim and times each one on the monotonic clock that both
// processes share.
class LatencyBench : public QObject {
    Q_OBJECT

public:
    struct Sample {
        double latencyMs = 0; // emission to the command's last byte at the controller
        double answerMs = 0;  // the controller's answer time: probe read to answer written
        double toProbeMs = 0; // emission to the probe at the controller: opening the port and writing the probe
        double gapMs = 0;     // answer written to the command's last byte: the worker's quiet gap and its write
    };

    LatencyBench(SimProcess *sim, SerialThread *worker, QObject *parent = nullptr);

    bool measure(int index, Sample *sample, QString *error);

signals:
    void signal_data_send(QByteArray command);

private:
    bool waitUntil(const std::function<bool()> &done, int timeoutMs);
    QJsonObject simEvent(int probe, const QString &kind) const;

    SimProcess *m_sim;
    SerialThread *m_worker;
    QString m_final;
};

#endif // LATENCYBENCH_H
