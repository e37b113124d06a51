#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>

using SettingsMap = QMap<QString, QString>;

// The connection values as the link uses them, converted from the texts of "settings.ini".
struct ConnectionValues {
    QString com_port;
    qint32 baud = 115200;
    quint8 parity = 0;
    quint8 stopbit = 1;
    quint8 lenght = 8;
    bool com_auto = true;
};

extern QFile settings_file;
extern quint8 com_log;

void create_default_settings();
void load_com_log();
SettingsMap read_settings_map();

// Replaces "settings.ini" with the map, one key line and one value line per entry in ascending
// key order. The old file stays whole unless the new content was written completely; returns
// whether the new content is in place.
bool write_settings_map(const SettingsMap &map);

// Pure conversions, shared by the worker's load and the settings dialog.
SettingsMap parseSettings(const QByteArray &content);
QByteArray formatSettings(const SettingsMap &map);
QByteArray defaultSettingsContent();
ConnectionValues connectionValuesFromMap(const SettingsMap &map);
qint32 baudFromText(const QString &text);
quint8 parityFromText(const QString &text);
quint8 stopBitsFromText(const QString &text);
quint8 dataBitsFromText(const QString &text);
quint8 comLogFromText(const QString &text);

#endif // SETTINGSFILE_H
