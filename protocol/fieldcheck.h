#ifndef FIELDCHECK_H
#define FIELDCHECK_H

#include <QString>

#include <array>

// The one check that every value passes before it becomes part of a command, whichever way it arrived: typed,
// pasted, set by the program, read from a profile or given to the command-line sender. A value goes out only
// when its field carries it unchanged; otherwise the command is not sent and the operator is told why.
namespace Commands {

bool isAsciiLetter(QChar c);
bool isAsciiDigit(QChar c);
bool isAsciiDigits(const QString &text);

// A number field's value, or why it cannot go out unchanged (`problem` is then not empty).
struct FieldNumber {
    quint32 value = 0;
    QString problem;
};

// Only the ASCII digits 0-9, and a value of at most `max`; an empty field is 0, as the operator left it.
FieldNumber fieldNumber(const QString &text, quint32 max);

// A year as the command carries it: one byte counted from 2000.
FieldNumber yearOffset(const QString &text);

// A time "hh:mm:ss" or a date "dd/MM/yyyy" as the command carries it: three numbers (the year counted from 2000),
// or why it cannot go out. Each part must fit its byte, and the whole must be a moment a clock can show: at most
// 23:59:59, a month 1-12 and a day that the month has, leap years counted. An empty part is 0, as the operator
// left it, which a time may be and a day or month may not.
struct ClockParts {
    std::array<quint32, 3> values{};
    QString problem;
};
ClockParts clockTime(const QString &text);
ClockParts calendarDate(const QString &text);

// A pulse meter's constant in the tens of pulses per kWh that the command carries, or why it cannot go out:
// a constant that is not a whole number of tens would arrive cut, and no meter gives no pulses at all.
FieldNumber pulseConstantTens(const QString &text);

// Empty, or one ASCII letter A-Z or a-z; the problem otherwise.
QString codeLetterProblem(const QString &code);

// The status text for a command that was not sent: which field, and why.
QString refusalMessage(const QString &field, const QString &problem);

} // namespace Commands

#endif // FIELDCHECK_H
