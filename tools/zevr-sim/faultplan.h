#ifndef FAULTPLAN_H
#define FAULTPLAN_H

#include <QString>
#include <QVector>

// How the controller treats one probe.
struct FaultStep {
    enum Mode { Ok, Silent, Delay, Split, Echo, Stream, Hangup };
    Mode mode = Ok;
    int ms = 0; // Delay: before the answer; Split: the pause inside the token; Stream: how long it streams

    QString name() const; // "ok", "delay:300", ...
};

struct FaultDurations {
    int delay = 300;
    int split = 50;
    int stream = 1500;
};

// One step per successive probe, from the start again after the last.
class FaultPlan {
public:
    FaultPlan() = default;
    explicit FaultPlan(QVector<FaultStep> steps) : m_steps(std::move(steps)) {}

    // "ok,silent,delay:300,split,hangup": a bare duration mode takes its default from `durations`.
    static bool parse(const QString &list, const FaultDurations &durations, FaultPlan *plan, QString *error);

    FaultStep stepFor(int probeIndex) const;

private:
    QVector<FaultStep> m_steps{FaultStep()};
};

#endif // FAULTPLAN_H
