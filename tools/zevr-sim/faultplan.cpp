#include "tools/zevr-sim/faultplan.h"

#include <QStringList>

namespace {

const char *const modeNames[] = {"ok", "silent", "delay", "split", "echo", "stream", "hangup"};
constexpr int modeCount = sizeof(modeNames) / sizeof(modeNames[0]);
constexpr int maxMs = 600000;

bool hasDuration(FaultStep::Mode mode) {
    return mode == FaultStep::Delay || mode == FaultStep::Split || mode == FaultStep::Stream;
}

int defaultMs(FaultStep::Mode mode, const FaultDurations &durations) {
    switch (mode) {
    case FaultStep::Delay:
        return durations.delay;
    case FaultStep::Split:
        return durations.split;
    case FaultStep::Stream:
        return durations.stream;
    default:
        return 0;
    }
}

int modeFromName(const QString &name) {
    for (int mode = 0; mode < modeCount; ++mode) {
        if (name == QLatin1String(modeNames[mode]))
            return mode;
    }
    return -1;
}

bool parseStep(const QString &item, const FaultDurations &durations, FaultStep *step, QString *error) {
    const QStringList parts = item.trimmed().split(QLatin1Char(':'));
    const int mode = modeFromName(parts.first());
    if (mode < 0 || parts.size() > 2) {
        *error = QStringLiteral("unknown mode \"%1\" (known: ok, silent, delay, split, echo, stream, hangup)")
                     .arg(item.trimmed());
        return false;
    }
    step->mode = static_cast<FaultStep::Mode>(mode);
    step->ms = defaultMs(step->mode, durations);
    if (parts.size() == 1)
        return true;
    bool ok = false;
    step->ms = parts.at(1).toInt(&ok);
    if (!hasDuration(step->mode) || !ok || step->ms < 0 || step->ms > maxMs) {
        *error = QStringLiteral("bad duration in \"%1\" (only delay, split and stream take 0 to %2 ms)")
                     .arg(item.trimmed())
                     .arg(maxMs);
        return false;
    }
    return true;
}

} // namespace

QString FaultStep::name() const {
    const QString base = QString::fromLatin1(modeNames[mode]);
    return hasDuration(mode) ? QStringLiteral("%1:%2").arg(base).arg(ms) : base;
}

bool FaultPlan::parse(const QString &list, const FaultDurations &durations, FaultPlan *plan, QString *error) {
    QVector<FaultStep> steps;
    for (const QString &item : list.split(QLatin1Char(','))) {
        FaultStep step;
        if (!parseStep(item, durations, &step, error))
            return false;
        steps << step;
    }
    *plan = FaultPlan(steps);
    return true;
}

FaultStep FaultPlan::stepFor(int probeIndex) const { return m_steps.at(probeIndex % m_steps.size()); }
