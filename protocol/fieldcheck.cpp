#include "protocol/fieldcheck.h"

namespace Commands {

namespace {

constexpr quint32 firstYear = 2000;
constexpr quint32 lastYear = firstYear + 255;

} // namespace

bool isAsciiLetter(QChar c) {
    const ushort u = c.unicode();
    return (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z');
}

bool isAsciiDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

bool isAsciiDigits(const QString &text) {
    for (QChar c : text)
        if (!isAsciiDigit(c))
            return false;
    return true;
}

// Digits of other scripts (Arabic-Indic, full-width) look like numbers on screen but are no number to the
// command, so they are refused rather than sent as 0.
FieldNumber fieldNumber(const QString &text, quint32 max) {
    if (!isAsciiDigits(text))
        return {0, QStringLiteral("«%1»: допустимы только цифры 0–9").arg(text)};
    quint64 value = 0;
    for (QChar c : text) {
        value = value * 10u + quint64(c.unicode() - '0');
        if (value > max)
            return {0, QStringLiteral("%1 больше %2 и не помещается в команду").arg(text).arg(max)};
    }
    return {quint32(value), QString()};
}

FieldNumber yearOffset(const QString &text) {
    if (text.isEmpty())
        return {0, QStringLiteral("год не указан, нужен %1–%2").arg(firstYear).arg(lastYear)};
    const FieldNumber year = fieldNumber(text, 9999);
    if (!year.problem.isEmpty())
        return year;
    if (year.value < firstYear || year.value > lastYear)
        return {0, QStringLiteral("год %1 вне диапазона %2–%3").arg(text).arg(firstYear).arg(lastYear)};
    return {year.value - firstYear, QString()};
}

// A Cyrillic "А" looks exactly like the Latin "A" but would reach the controller as "?".
QString codeLetterProblem(const QString &code) {
    if (code.isEmpty() || (code.size() == 1 && isAsciiLetter(code.at(0))))
        return QString();
    return QStringLiteral("«%1»: нужна одна латинская буква A–Z или a–z").arg(code);
}

QString refusalMessage(const QString &field, const QString &problem) {
    return QStringLiteral("Команда не отправлена: %1 — %2").arg(field, problem);
}

} // namespace Commands
