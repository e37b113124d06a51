#include "protocol/profile.h"

#include "protocol/profilekeys.h"
#include "protocol/profiletext.h"

#include <QMap>
#include <QStringList>

namespace Profiles {

namespace {

constexpr int maxKeyLength = 64;

const QString stationSection = QStringLiteral("station");
const QString clockSection = QStringLiteral("time");
const QString meterSection = QStringLiteral("meter");

// Where each key of the section being read was found, so that a later problem can name its line.
using KeyLines = QMap<QString, int>;

class Reader {
public:
    explicit Reader(const QByteArray &content);
    ReadResult read();

private:
    bool readLine(const QString &line);
    bool startSection(const QString &name);
    bool readKey(const QString &key, const QString &value);
    bool readVersion(const QString &value);
    bool checkCmColumns();
    bool fail(const QString &problem, int line);

    QStringList m_lines;
    ReadResult m_result;
    int m_line = 0;
    bool m_versionSeen = false;
    QString m_section;
    QMap<QString, KeyLines> m_keyLines;
    QMap<QString, int> m_sectionLines;
};

Reader::Reader(const QByteArray &content) {
    QString text = QString::fromUtf8(content);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    m_lines = text.split(QLatin1Char('\n'));
}

ReadResult Reader::read() {
    for (m_line = 1; m_line <= m_lines.size(); ++m_line) {
        QString line = m_lines.at(m_line - 1);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (!readLine(line.trimmed()))
            return m_result;
    }
    if (!m_versionSeen)
        fail(QStringLiteral("нет строки «version=%1» перед первым разделом: это не профиль").arg(formatVersion), 0);
    else if (m_sectionLines.isEmpty())
        fail(QStringLiteral("нет ни одного раздела [station], [time] или [meter]"), 0);
    else
        checkCmColumns();
    return m_result;
}

bool Reader::readLine(const QString &line) {
    if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
        return true;
    if (line.startsWith(QLatin1Char('[')))
        return line.endsWith(QLatin1Char(']')) ? startSection(line.mid(1, line.size() - 2).trimmed())
                                               : fail(QStringLiteral("раздел без закрывающей «]»"), m_line);
    const int equals = line.indexOf(QLatin1Char('='));
    if (equals <= 0)
        return fail(QStringLiteral("ожидается «ключ=значение», а стоит «%1»").arg(line.left(maxKeyLength)), m_line);
    return readKey(line.left(equals).trimmed(), line.mid(equals + 1).trimmed());
}

bool Reader::startSection(const QString &name) {
    if (!m_versionSeen)
        return fail(QStringLiteral("перед первым разделом должна стоять строка «version=%1»").arg(formatVersion),
                    m_line);
    if (name != stationSection && name != clockSection && name != meterSection)
        return fail(QStringLiteral("неизвестный раздел [%1]; бывают [station], [time] и [meter]").arg(name), m_line);
    if (m_sectionLines.contains(name))
        return fail(QStringLiteral("раздел [%1] уже был в строке %2").arg(name).arg(m_sectionLines.value(name)),
                    m_line);
    m_section = name;
    m_sectionLines.insert(name, m_line);
    if (name == stationSection)
        m_result.profile.station.emplace();
    else if (name == clockSection)
        m_result.profile.clock.emplace();
    else
        m_result.profile.meter.emplace();
    return true;
}

bool Reader::readKey(const QString &key, const QString &value) {
    if (m_section.isEmpty()) {
        if (key == QLatin1String("version"))
            return m_versionSeen ? fail(QStringLiteral("ключ «version» уже задан"), m_line) : readVersion(value);
        return fail(QStringLiteral("ключ «%1» стоит вне раздела").arg(key.left(maxKeyLength)), m_line);
    }
    KeyLines &lines = m_keyLines[m_section];
    if (lines.contains(key))
        return fail(QStringLiteral("ключ «%1» уже задан в строке %2").arg(key).arg(lines.value(key)), m_line);
    QString problem;
    bool known = false;
    if (m_section == stationSection)
        known = setKey(stationKeys(), *m_result.profile.station, key, value, &problem);
    else if (m_section == clockSection)
        known = setKey(clockKeys(), *m_result.profile.clock, key, value, &problem);
    else
        known = setKey(meterKeys(), *m_result.profile.meter, key, value, &problem);
    if (!known)
        return fail(QStringLiteral("неизвестный ключ «%1» в разделе [%2]").arg(key.left(maxKeyLength), m_section),
                    m_line);
    if (!problem.isEmpty())
        return fail(QStringLiteral("%1 — %2").arg(key, problem), m_line);
    lines.insert(key, m_line);
    return true;
}

bool Reader::readVersion(const QString &value) {
    bool ok = false;
    const int version = value.toInt(&ok);
    if (!ok || version != formatVersion)
        return fail(QStringLiteral("версия формата «%1» не поддерживается; эта программа читает версию %2")
                        .arg(value)
                        .arg(formatVersion),
                    m_line);
    m_versionSeen = true;
    return true;
}

// A CM number belongs to one channel at most: clicking could never check it in a second channel, and the
// controller would find two channels claiming it.
bool Reader::checkCmColumns() {
    if (!m_result.profile.station)
        return true;
    const Station &station = *m_result.profile.station;
    const KeyLines &lines = m_keyLines.value(stationSection);
    for (int cm = 0; cm < Commands::CmPerChannel; ++cm) {
        int owner = -1;
        for (int channel = 0; channel < Commands::ChannelCount; ++channel) {
            if (!station.channels[channel].cm[cm])
                continue;
            if (owner >= 0) {
                const QString key = QStringLiteral("channel%1.cm").arg(channel + 1);
                return fail(QStringLiteral("%1 — СМ%2 уже отмечен в канале %3; один номер СМ принадлежит одному "
                                           "каналу")
                                .arg(key)
                                .arg(cm + 1)
                                .arg(owner + 1),
                            lines.value(key));
            }
            owner = channel;
        }
    }
    return true;
}

bool Reader::fail(const QString &problem, int line) {
    m_result.problem = problem;
    m_result.line = line;
    // Nothing of a profile with a problem may be used.
    m_result.profile = Profile();
    return false;
}

QByteArray section(const QString &name, const QStringList &lines) {
    return (QStringLiteral("\n[%1]\n").arg(name) + lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

// The same unit rules as the tab: a unit box is usable only while every box before it is checked.
Commands::ControlUnits includedUnits(const Station &station) {
    Commands::ControlUnits units;
    bool allBeforeChecked = true;
    for (int index = 0; index < Commands::ControlUnitCount; ++index) {
        const Unit &unit = station.units[index];
        units[index] = {unit.checked && allBeforeChecked, unit.address, unit.analog};
        allBeforeChecked = allBeforeChecked && unit.checked;
    }
    return units;
}

// The address label names the lowest checked CM number; it stays empty while none is checked.
Commands::Channels channelRecords(const Station &station) {
    Commands::Channels records;
    for (int index = 0; index < Commands::ChannelCount; ++index) {
        const Channel &channel = station.channels[index];
        QString label;
        for (int cm = Commands::CmPerChannel; cm >= 1; --cm)
            if (channel.cm[cm - 1])
                label = QString::number(cm);
        records[index] = {label, channel.cm, channel.date, channel.code, channel.serialNumber};
    }
    return records;
}

} // namespace

Station::Station() {
    for (int index = 0; index < Commands::ControlUnitCount; ++index)
        units[index].address = QString::number(111 + index);
}

QString ReadResult::message() const {
    return line > 0 ? QStringLiteral("строка %1: %2").arg(line).arg(problem) : problem;
}

// Only text is read as keys and values: a byte that is not text refuses the file before any of it is taken.
ReadResult readProfile(const QByteArray &content) {
    const TextProblem text = textProblem(content);
    if (text.problem.isEmpty())
        return Reader(content).read();
    ReadResult result;
    result.problem = text.problem;
    result.line = text.line;
    return result;
}

QByteArray writeProfile(const Profile &profile) {
    QByteArray content = QStringLiteral("; Профиль ЗЕВР-3G-Config: значения вкладок «СКЗ», «Время» и «Эл. счетчик».\n"
                                        "version=%1\n")
                             .arg(formatVersion)
                             .toUtf8();
    if (profile.station)
        content += section(stationSection, keyLines(stationKeys(), *profile.station));
    if (profile.clock)
        content += section(clockSection, keyLines(clockKeys(), *profile.clock));
    if (profile.meter)
        content += section(meterSection, keyLines(meterKeys(), *profile.meter));
    return content;
}

Commands::Encoded stationCommand(const Station &station) {
    return station.multiChannel ? Commands::multiChannel(channelRecords(station))
                                : Commands::singleChannel(includedUnits(station));
}

Commands::Encoded clockCommand(const Clock &clock) { return Commands::dateTime(clock.time, clock.date); }

Commands::Encoded meterCommand(const Meter &meter) {
    return Commands::meter(meter.type, meter.reading, meter.coefficient);
}

} // namespace Profiles
