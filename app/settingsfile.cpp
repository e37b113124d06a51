#include "app/settingsfile.h"

// Placeholder bodies; the settings file lands with its own change.
QFile settings_file(QStringLiteral("settings.ini"));
quint8 com_log = 0;

void create_default_settings() {}
void load_com_log() {}
SettingsMap read_settings_map() { return {}; }
bool write_settings_map(const SettingsMap &) { return false; }
SettingsMap parseSettings(const QByteArray &) { return {}; }
ConnectionValues connectionValuesFromMap(const SettingsMap &) { return {}; }
qint32 baudFromText(const QString &) { return 0; }
quint8 parityFromText(const QString &) { return 3; }
quint8 stopBitsFromText(const QString &) { return 2; }
quint8 dataBitsFromText(const QString &) { return 7; }
quint8 comLogFromText(const QString &) { return 0; }
