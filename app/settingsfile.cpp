#include "app/settingsfile.h"

#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

QFile settings_file(QStringLiteral("settings.ini"));
quint8 com_log = 0;

namespace {

// CR LF is written out here and the file is written in binary mode, so that Windows does not make it CR CR LF;
// the stream's default codec is the local 8-bit encoding.
QByteArray encodeLines(const QStringList &lines) {
    QByteArray content;
    QTextStream stream(&content, QIODevice::WriteOnly);
    for (const QString &line : lines)
        stream << line << QLatin1String("\r\n");
    stream.flush();
    return content;
}

// The new content goes to a temporary file beside the old one, which is replaced only once everything is on
// disk: an interrupted or failed write leaves the old settings in place.
bool replaceSettingsFile(const QByteArray &content) {
    QSaveFile file(settings_file.fileName());
    if (!file.open(QIODevice::WriteOnly))
        return false;
    // commit() in Qt 5 misses a flush that fails while closing (a full disk) and would put a truncated file in
    // place, so the flush is checked here.
    if (file.write(content) != content.size() || !file.flush())
        file.cancelWriting();
    return file.commit();
}

// Only a regular file is read: a FIFO would block the open until some writer comes, and a device may never end.
bool readSettingsBytes(QByteArray *content) {
    if (!QFileInfo(settings_file.fileName()).isFile() || !settings_file.open(QIODevice::ReadOnly))
        return false;
    *content = settings_file.readAll();
    settings_file.close();
    return true;
}

} // namespace

void create_default_settings() { replaceSettingsFile(defaultSettingsContent()); }

void load_com_log() {
    if (!settings_file.exists())
        return;
    com_log = comLogFromText(read_settings_map().value(QStringLiteral("COM Log")));
}

SettingsMap read_settings_map() {
    QByteArray content;
    if (!settings_file.exists() || !readSettingsBytes(&content))
        return {};
    return parseSettings(content);
}

bool write_settings_map(const SettingsMap &map) { return replaceSettingsFile(formatSettings(map)); }

// Pairs are taken strictly line by line, so a stray blank line shifts every later pair; a later key replaces an
// earlier one.
SettingsMap parseSettings(const QByteArray &content) {
    QTextStream stream(content, QIODevice::ReadOnly);
    SettingsMap map;
    QString key;
    QString value;
    while (stream.readLineInto(&key)) {
        stream.readLineInto(&value);
        map.insert(key, value);
    }
    return map;
}

QByteArray formatSettings(const SettingsMap &map) {
    QStringList lines;
    for (auto it = map.constBegin(); it != map.constEnd(); ++it)
        lines << it.key() << it.value();
    return encodeLines(lines);
}

QByteArray defaultSettingsContent() {
    return encodeLines({QStringLiteral("COM Log"), QStringLiteral("1"), QStringLiteral("COM Port"), QString(),
                        QStringLiteral("BaudRate"), QStringLiteral("115200"), QStringLiteral("Parity"),
                        QStringLiteral("none"), QStringLiteral("Lenght"), QStringLiteral("8 bit"),
                        QStringLiteral("Stop Bit"), QStringLiteral("1 bit"), QStringLiteral("COM Auto"),
                        QStringLiteral("true")});
}

ConnectionValues connectionValuesFromMap(const SettingsMap &map) {
    ConnectionValues values;
    values.com_port = map.value(QStringLiteral("COM Port"));
    values.baud = baudFromText(map.value(QStringLiteral("BaudRate")));
    values.parity = parityFromText(map.value(QStringLiteral("Parity")));
    values.stopbit = stopBitsFromText(map.value(QStringLiteral("Stop Bit")));
    values.lenght = dataBitsFromText(map.value(QStringLiteral("Lenght")));
    values.com_auto = map.value(QStringLiteral("COM Auto")) == QLatin1String("true");
    return values;
}

qint32 baudFromText(const QString &text) { return text.toInt(nullptr, 10); }

quint8 parityFromText(const QString &text) {
    if (text == QLatin1String("none"))
        return 0;
    return text == QLatin1String("even") ? 2 : 3;
}

quint8 stopBitsFromText(const QString &text) { return text == QLatin1String("1 bit") ? 1 : 2; }

quint8 dataBitsFromText(const QString &text) { return text == QLatin1String("8 bit") ? 8 : 7; }

// The flag is eight bits wide, so only the low byte of the number counts.
quint8 comLogFromText(const QString &text) { return static_cast<quint8>(text.toInt(nullptr, 10)); }
