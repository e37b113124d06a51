#ifndef UNITRECORD_H
#define UNITRECORD_H

#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"

#include <QDateTime>
#include <QJsonObject>
#include <QVector>

// The words of zevr3g-send's record and JSON output: one object per unit served, with every command, its bytes, its
// outcome and each attempt.
namespace UnitRecord {

int exitCodeOf(SerialThread::Outcome outcome);

struct Unit {
    QDateTime started;
    QString profilePath;
    int tabs = 0;
    int code = 0;                        // the unit's exit status
    QVector<Transmission> transmissions; // the commands that went to the line, in order
    QVector<QByteArray> notSent;         // the bytes of those that did not
};

QJsonObject toJson(const Unit &unit);

// What one poll of a waiting run found on the line, in words: each port tried and why it gave no controller.
QString pollSummary(const Transmission &transmission);

} // namespace UnitRecord

#endif // UNITRECORD_H
