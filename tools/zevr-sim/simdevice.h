#ifndef SIMDEVICE_H
#define SIMDEVICE_H

#include "tools/zevr-sim/commandstream.h"
#include "tools/zevr-sim/faultplan.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QTimer>

class SimLine;

// The simulated controller: answers each probe as its fault plan says and reports everything it receives.
class SimDevice : public QObject {
    Q_OBJECT

public:
    struct Settings {
        FaultPlan plan;
        QByteArray answer = QByteArrayLiteral("ZEVR-3G OK");
        int gapMs = 50; // quiet time that ends a burst of incoming bytes
    };

    SimDevice(SimLine *line, const Settings &settings, QObject *parent = nullptr);

signals:
    // One line of text and the same as JSON; every JSON carries "event", "probe" and "t_us" (monotonic clock).
    void reported(const QString &text, const QJsonObject &json);

private:
    void receive(const QByteArray &bytes, qint64 monoNs);
    void endBurst();
    void handle(const StreamEvent &event, qint64 monoNs);
    void startProbe(const StreamEvent &event, qint64 monoNs);
    void act();
    void answer(const QByteArray &bytes);
    void answerRest();
    void streamMore();
    void hangUpOnceRead();
    void cancelPending();
    void reportPath(const QString &path);
    void report(const QString &text, QJsonObject json, qint64 monoNs);

    SimLine *m_line;
    Settings m_settings;
    CommandStream m_stream;
    FaultStep m_step;
    int m_probes = 0;
    qint64 m_lastReceived = 0;
    QByteArray m_rest;
    int m_hangUpPolls = 0;
    QElapsedTimer m_streamClock;
    QTimer m_gapTimer;
    QTimer m_answerTimer;
    QTimer m_streamTimer;
    QTimer m_hangUpTimer;
};

#endif // SIMDEVICE_H
