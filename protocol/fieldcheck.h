#ifndef FIELDCHECK_H
#define FIELDCHECK_H

#include <QString>

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

// Empty, or one ASCII letter A-Z or a-z; the problem otherwise.
QString codeLetterProblem(const QString &code);

// The status text for a command that was not sent: which field, and why.
QString refusalMessage(const QString &field, const QString &problem);

} // namespace Commands

#endif // FIELDCHECK_H
