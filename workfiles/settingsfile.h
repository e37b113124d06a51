#ifndef SETTINGSFILE_H
#define SETTINGSFILE_H

#include "workfiles/fileresult.h"

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

// "settings.ini" as it stood when it was read.
struct SettingsSnapshot {
    QByteArray content; // empty for a missing file
    FileResult read;    // not ok: the file exists but could not be read, so it must not be replaced
};

extern QFile settings_file;
extern quint8 com_log;

FileResult create_default_settings();
void load_com_log();
SettingsMap read_settings_map();

SettingsSnapshot read_settings_snapshot();
// Whether the file can give the program its values at start: it must be readable and hold at least one of the
// known keys. The file is only read.
FileResult check_settings_file();
// Start-up's steps: the defaults for a missing file, then the check. A symbolic link to no file counts as missing,
// so the operator reads that the defaults were not written through it rather than a complaint about its content.
FileResult settings_at_start();
// Puts the changed pairs into the file as `before` held it and replaces the file with the result (see
// mergeSettings). The old file stays whole unless the new content was written completely; a file that could not
// be read, a symbolic link, anything but a regular file and a file that may not be written are left as they are.
FileResult store_settings(const SettingsSnapshot &before, const SettingsMap &changes);

// Pure conversions, shared by the worker's load and the settings dialog.
SettingsMap parseSettings(const QByteArray &content);
// The content with `changes` put in, one key line and one value line per pair in ascending key order. Every pair
// that `changes` does not alter keeps its bytes, whatever the encoding; a file with a Unicode byte-order mark
// stays in that encoding.
QByteArray mergeSettings(const QByteArray &content, const SettingsMap &changes);
QByteArray defaultSettingsContent();
ConnectionValues connectionValuesFromMap(const SettingsMap &map);
qint32 baudFromText(const QString &text);
quint8 parityFromText(const QString &text);
quint8 stopBitsFromText(const QString &text);
quint8 dataBitsFromText(const QString &text);
quint8 comLogFromText(const QString &text);

#endif // SETTINGSFILE_H
