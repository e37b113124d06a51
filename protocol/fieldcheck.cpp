#include "protocol/fieldcheck.h"

#include <QStringList>

namespace Commands {

namespace {

constexpr quint32 firstYear = 2000;
constexpr quint32 lastYear = firstYear + 255;
constexpr quint32 byteMax = 0xFFu;
constexpr quint32 constantMax = 0xFFFFu * 10u;

bool isLeapYear(quint32 year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

quint32 daysInMonth(quint32 month, quint32 year) {
    static const quint32 days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

// "в апреле"; February names its year, since the year decides its length.
QString inMonth(quint32 month, quint32 year) {
    static const char *const names[] = {"январе", "феврале", "марте",    "апреле",  "мае",    "июне",
                                        "июле",   "августе", "сентябре", "октябре", "ноябре", "декабре"};
    const QString name = QStringLiteral("в ") + QString::fromUtf8(names[month - 1]);
    return month == 2 ? name + QStringLiteral(" %1 года").arg(year) : name;
}

// The first of the parts' problems; the order is the text's.
QString firstProblem(std::initializer_list<FieldNumber> parts) {
    for (const FieldNumber &part : parts)
        if (!part.problem.isEmpty())
            return part.problem;
    return QString();
}

// "час 24 не бывает" for a typed value, "день не указан" for an emptied part.
QString partNotHeld(const char *part, const char *missing, const QString &text, quint32 value) {
    return text.isEmpty() ? QString::fromUtf8(part) + QLatin1Char(' ') + QString::fromUtf8(missing)
                          : QStringLiteral("%1 %2 не бывает").arg(QString::fromUtf8(part)).arg(value);
}

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

ClockParts clockTime(const QString &text) {
    const QStringList texts = text.split(QLatin1Char(':'));
    const FieldNumber hour = fieldNumber(texts.value(0), byteMax);
    const FieldNumber minute = fieldNumber(texts.value(1), byteMax);
    const FieldNumber second = fieldNumber(texts.value(2), byteMax);
    ClockParts time{{hour.value, minute.value, second.value}, firstProblem({hour, minute, second})};
    if (!time.problem.isEmpty())
        return time;
    if (hour.value > 23)
        time.problem = QStringLiteral("час %1 не бывает, нужен 0–23").arg(hour.value);
    else if (minute.value > 59)
        time.problem = QStringLiteral("минута %1 не бывает, нужна 0–59").arg(minute.value);
    else if (second.value > 59)
        time.problem = QStringLiteral("секунда %1 не бывает, нужна 0–59").arg(second.value);
    return time;
}

ClockParts calendarDate(const QString &text) {
    const QStringList texts = text.split(QLatin1Char('/'));
    const FieldNumber day = fieldNumber(texts.value(0), byteMax);
    const FieldNumber month = fieldNumber(texts.value(1), byteMax);
    const FieldNumber year = yearOffset(texts.value(2));
    ClockParts date{{day.value, month.value, year.value}, firstProblem({day, month, year})};
    if (!date.problem.isEmpty())
        return date;
    const quint32 fullYear = firstYear + year.value;
    if (month.value < 1 || month.value > 12) {
        date.problem = partNotHeld("месяц", "не указан", texts.value(1), month.value) + QStringLiteral(", нужен 1–12");
    } else if (day.value < 1 || day.value > daysInMonth(month.value, fullYear)) {
        date.problem =
            partNotHeld("день", "не указан", texts.value(0), day.value) + QStringLiteral(", %1 нужен 1–%2")
                                                                              .arg(inMonth(month.value, fullYear))
                                                                              .arg(daysInMonth(month.value, fullYear));
    }
    return date;
}

// Zero pulses per kWh is no meter's constant, and the controller would have nothing to count by; an emptied field
// counts as 0, so it is refused with its own words.
FieldNumber pulseConstantTens(const QString &text) {
    const QString range = QStringLiteral("нужна 10–%1, кратная 10").arg(constantMax);
    if (text.isEmpty())
        return {0, QStringLiteral("постоянная не указана, ") + range};
    const FieldNumber constant = fieldNumber(text, constantMax);
    if (!constant.problem.isEmpty())
        return constant;
    if (constant.value == 0)
        return {0, QStringLiteral("«%1»: постоянная 0 не бывает, ").arg(text) + range};
    if (constant.value % 10u != 0)
        return {0, QStringLiteral("%1 не кратно 10, дошло бы как %2").arg(text).arg(constant.value / 10u * 10u)};
    return {constant.value / 10u, QString()};
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
