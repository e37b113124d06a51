#include "protocol/profilekeys.h"

#include "protocol/fieldcheck.h"

#include <QRegularExpression>

namespace Profiles {

namespace {

using Commands::fieldNumber;

constexpr int addressDigits = 3; // the address fields' validator takes no more
constexpr quint32 readingWholeMax = 0xFFFFFFFFu / 10u;
constexpr quint32 coefficientMax = 0xFFFFu * 10u + 9u;

// A value goes into a masked field as it stands only when it has the mask's shape; anything else the field
// would cut or shift, and the tab would show, and send, something the profile does not say.
bool fitsMask(const QString &value, const char *pattern) {
    return QRegularExpression(QString::fromLatin1(pattern)).match(value).hasMatch();
}

QString shapeProblem(const QString &value, const QString &shape) {
    return QStringLiteral("«%1»: поле принимает только %2").arg(value, shape);
}

// Every part through the shared check first, so that a refused value reads the same as when it is sent.
QString partsProblem(const QStringList &parts, quint32 max) {
    for (const QString &part : parts) {
        const QString problem = fieldNumber(part, max).problem;
        if (!problem.isEmpty())
            return problem;
    }
    return QString();
}

QString timeProblem(const QString &value) {
    const QString problem = partsProblem(value.split(QLatin1Char(':')), 0xFF);
    if (!problem.isEmpty())
        return problem;
    if (!fitsMask(value, "^[0-9]{0,2}:[0-9]{0,2}:[0-9]{0,2}$"))
        return shapeProblem(value, "ЧЧ:ММ:СС");
    return Commands::clockTime(value).problem;
}

QString dateProblem(const QString &value) {
    const QStringList parts = value.split(QLatin1Char('/'));
    QString problem = partsProblem(parts.mid(0, 2), 0xFF);
    if (problem.isEmpty() && parts.size() == 3)
        problem = Commands::yearOffset(parts.at(2)).problem;
    if (!problem.isEmpty())
        return problem;
    if (!fitsMask(value, "^[0-9]{0,2}/[0-9]{0,2}/[0-9]{0,4}$"))
        return shapeProblem(value, "ДД/ММ/ГГГГ");
    return Commands::calendarDate(value).problem;
}

QString digitsProblem(const QString &value, quint32 max, int maxDigits) {
    const QString problem = fieldNumber(value, max).problem;
    if (!problem.isEmpty())
        return problem;
    return value.size() <= maxDigits ? QString() : shapeProblem(value, QStringLiteral("до %1 цифр").arg(maxDigits));
}

// The field lets an operator leave 251 to 255 standing (the validator calls them intermediate) and the
// command carries them, so a profile may hold them too.
QString addressProblem(const QString &value) { return digitsProblem(value, 0xFF, addressDigits); }

QString readingProblem(const QString &value) {
    const int point = value.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? value : value.left(point);
    const QString tenth = point < 0 ? QString() : value.mid(point + 1);
    QString problem = partsProblem({whole}, readingWholeMax);
    if (problem.isEmpty())
        problem = partsProblem({tenth}, 9);
    if (!problem.isEmpty())
        return problem;
    return fitsMask(value, "^[0-9]{0,7}\\.[0-9]?$") ? QString() : shapeProblem(value, "ЦЦЦЦЦЦЦ.Ц");
}

// Checked whatever the meter's type, as the field keeps it for when the type becomes a pulse meter.
QString coefficientProblem(const QString &value) {
    const QString problem = digitsProblem(value, coefficientMax, 5);
    return problem.isEmpty() ? Commands::pulseConstantTens(value).problem : problem;
}

// One of a few words; the first names the value the program starts with.
QString choose(const QString &value, const QStringList &words, int *index) {
    const int found = words.indexOf(value);
    if (found < 0)
        return QStringLiteral("«%1»: допустимо %2").arg(value, words.join(QStringLiteral(", ")));
    *index = found;
    return QString();
}

template <typename Section, typename Field>
Key<Section> textKey(const QString &name, Field Section::*field, QString (*check)(const QString &)) {
    return {name,
            [field, check](Section &section, const QString &value) {
                const QString problem = check(value);
                if (problem.isEmpty())
                    section.*field = value;
                return problem;
            },
            [field](const Section &section) { return section.*field; }};
}

QString cmText(const Channel &channel) {
    QStringList numbers;
    for (int cm = 1; cm <= Commands::CmPerChannel; ++cm)
        if (channel.cm[cm - 1])
            numbers << QString::number(cm);
    return numbers.join(QLatin1Char(','));
}

QString setCm(Channel &channel, const QString &value) {
    std::array<bool, Commands::CmPerChannel> cm{};
    for (const QString &part : value.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString number = part.trimmed();
        const int index = number.size() == 1 ? number.at(0).unicode() - '1' : -1;
        if (index < 0 || index >= Commands::CmPerChannel)
            return QStringLiteral("«%1»: номера СМ от 1 до 4 через запятую, например 1,3").arg(value);
        if (cm[index])
            return QStringLiteral("«%1»: СМ%2 назван дважды").arg(value).arg(index + 1);
        cm[index] = true;
    }
    channel.cm = cm;
    return QString();
}

void addUnitKeys(Keys<Station> &keys, int index) {
    const QString unit = QStringLiteral("unit%1").arg(index + 1);
    const QStringList onOff = {QStringLiteral("off"), QStringLiteral("on")};
    const QStringList control = {QStringLiteral("gsm"), QStringLiteral("4-20")};
    keys.append({unit,
                 [index, onOff](Station &station, const QString &value) {
                     int chosen = 0;
                     const QString problem = choose(value, onOff, &chosen);
                     station.units[index].checked = chosen == 1;
                     return problem;
                 },
                 [index, onOff](const Station &station) { return onOff.at(station.units[index].checked ? 1 : 0); }});
    keys.append({unit + QStringLiteral(".address"),
                 [index](Station &station, const QString &value) {
                     const QString problem = addressProblem(value);
                     if (problem.isEmpty())
                         station.units[index].address = value;
                     return problem;
                 },
                 [index](const Station &station) { return station.units[index].address; }});
    keys.append({unit + QStringLiteral(".control"),
                 [index, control](Station &station, const QString &value) {
                     int chosen = 0;
                     const QString problem = choose(value, control, &chosen);
                     station.units[index].analog = chosen == 1;
                     return problem;
                 },
                 [index, control](const Station &station) { return control.at(station.units[index].analog ? 1 : 0); }});
}

void addChannelKeys(Keys<Station> &keys, int index) {
    const QString channel = QStringLiteral("channel%1.").arg(index + 1);
    const auto channelKey = [&keys, &channel, index](const char *name, QString Channel::*field,
                                                     QString (*check)(const QString &)) {
        const Key<Channel> key = textKey(QString(), field, check);
        keys.append(
            {channel + QLatin1String(name),
             [key, index](Station &station, const QString &value) { return key.set(station.channels[index], value); },
             [key, index](const Station &station) { return key.get(station.channels[index]); }});
    };
    keys.append({channel + QStringLiteral("cm"),
                 [index](Station &station, const QString &value) { return setCm(station.channels[index], value); },
                 [index](const Station &station) { return cmText(station.channels[index]); }});
    channelKey("date", &Channel::date, dateProblem);
    channelKey("code", &Channel::code, Commands::codeLetterProblem);
    channelKey("serial", &Channel::serialNumber,
               [](const QString &value) { return digitsProblem(value, 0xFFFFFFFFu, 5); });
}

Keys<Station> makeStationKeys() {
    const QStringList types = {QStringLiteral("single"), QStringLiteral("multi")};
    Keys<Station> keys{{QStringLiteral("type"),
                        [types](Station &station, const QString &value) {
                            int chosen = 0;
                            const QString problem = choose(value, types, &chosen);
                            station.multiChannel = chosen == 1;
                            return problem;
                        },
                        [types](const Station &station) { return types.at(station.multiChannel ? 1 : 0); }}};
    for (int index = 0; index < Commands::ControlUnitCount; ++index)
        addUnitKeys(keys, index);
    for (int index = 0; index < Commands::ChannelCount; ++index)
        addChannelKeys(keys, index);
    return keys;
}

Keys<Meter> makeMeterKeys() {
    const QStringList types = {QStringLiteral("none"), QStringLiteral("pulse"), QStringLiteral("rs485")};
    return {{QStringLiteral("type"),
             [types](Meter &meter, const QString &value) {
                 int chosen = 0;
                 const QString problem = choose(value, types, &chosen);
                 meter.type = Commands::MeterType(chosen);
                 return problem;
             },
             [types](const Meter &meter) { return types.at(int(meter.type)); }},
            textKey(QStringLiteral("reading"), &Meter::reading, readingProblem),
            textKey(QStringLiteral("coefficient"), &Meter::coefficient, coefficientProblem)};
}

} // namespace

const Keys<Station> &stationKeys() {
    static const Keys<Station> keys = makeStationKeys();
    return keys;
}

const Keys<Clock> &clockKeys() {
    static const Keys<Clock> keys = {textKey(QStringLiteral("time"), &Clock::time, timeProblem),
                                     textKey(QStringLiteral("date"), &Clock::date, dateProblem)};
    return keys;
}

const Keys<Meter> &meterKeys() {
    static const Keys<Meter> keys = makeMeterKeys();
    return keys;
}

} // namespace Profiles
