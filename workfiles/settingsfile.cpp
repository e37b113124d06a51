#include "workfiles/settingsfile.h"

#include "workfiles/safefile.h"
#include "workfiles/systemreason.h"

#include <QFileInfo>
#include <QStringList>
#include <QTextCodec>
#include <QTextStream>
#include <QVector>

#include <algorithm>

QFile settings_file(QStringLiteral("settings.ini"));
quint8 com_log = 0;

namespace {

const QStringList knownKeys = {QStringLiteral("COM Log"), QStringLiteral("COM Port"), QStringLiteral("BaudRate"),
                               QStringLiteral("Parity"),  QStringLiteral("Lenght"),   QStringLiteral("Stop Bit"),
                               QStringLiteral("COM Auto")};

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

QByteArray encode(QTextCodec *codec, const QString &text) {
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->fromUnicode(text.constData(), text.size(), &state);
}

// The byte-order mark that a text stream takes out of the file before the first line and that a rewrite keeps: the
// marks of UTF-8 and UTF-16. A UTF-32 file is rewritten in the local encoding, without its mark; Qt does not
// encode every UTF-32 text back to its own bytes.
QByteArray keptByteOrderMark(const QByteArray &content) {
    const QTextCodec *unicode = QTextCodec::codecForUtfText(content, nullptr);
    if (!unicode)
        return QByteArray();
    const int mib = unicode->mibEnum();
    return content.left(mib == 106 ? 3 : mib == 1013 || mib == 1014 ? 2 : 0);
}

bool isUtf32(const QTextCodec *codec) { return codec->mibEnum() >= 1017 && codec->mibEnum() <= 1019; }

// Hands each line of the file to `take`, as the program reads it and as the bytes it stands in the file as, and
// returns the encoding to write the file in. In an encoding where CR and LF are single bytes (the local 8-bit one,
// UTF-8) the bytes are cut from the file itself as the text stream cuts the text: at LF, with one CR before it taken
// off, and one CR at the very end of the file. So bytes that the encoding cannot read stay as they are. In UTF-16
// every text encodes back to its own bytes.
template <typename Take> QTextCodec *forEachLine(const QByteArray &content, Take take) {
    // The stream chooses its encoding so, from the first bytes.
    QTextCodec *read = QTextCodec::codecForUtfText(content, QTextCodec::codecForLocale());
    QTextCodec *codec = isUtf32(read) ? QTextCodec::codecForLocale() : read;
    const bool cutBytes = codec == read && encode(codec, QStringLiteral("\r\n")) == "\r\n";
    QTextStream stream(content, QIODevice::ReadOnly);
    QString text;
    int position = keptByteOrderMark(content).size();
    while (stream.readLineInto(&text)) {
        if (!cutBytes || position >= content.size()) {
            take(text, encode(codec, text));
            continue;
        }
        int end = content.indexOf('\n', position);
        if (end < 0)
            end = content.size();
        const int size = end - position - (end > position && content.at(end - 1) == '\r' ? 1 : 0);
        take(text, content.mid(position, size));
        position = end + 1;
    }
    return codec;
}

struct Pair {
    QByteArray keyBytes;
    QString value; // as the program reads it
    QByteArray valueBytes;
};

// The new content is put in place by a rename once it is wholly on disk: an interrupted or failed write leaves
// the old settings as they were.
FileResult replaceSettingsFile(const QByteArray &content) {
    return SafeFile::replace(settings_file.fileName(), content);
}

} // namespace

FileResult create_default_settings() { return replaceSettingsFile(defaultSettingsContent()); }

void load_com_log() {
    if (!settings_file.exists())
        return;
    com_log = comLogFromText(read_settings_map().value(QStringLiteral("COM Log")));
}

SettingsMap read_settings_map() { return parseSettings(read_settings_snapshot().content); }

// Only a regular file is read: a FIFO would block the open until some writer comes, and a device may never end.
// A symbolic link is read through; only writing refuses it.
SettingsSnapshot read_settings_snapshot() {
    SettingsSnapshot snapshot;
    const QString path = settings_file.fileName();
    const QFileInfo info(path);
    snapshot.read = FileResult::success(path);
    if (!info.exists())
        return snapshot;
    if (info.isDir()) {
        snapshot.read.reason = QStringLiteral("это папка, а не файл");
    } else if (!info.isFile()) {
        snapshot.read.reason = QStringLiteral("это не обычный файл");
    } else if (!settings_file.open(QIODevice::ReadOnly)) {
        snapshot.read.reason = SystemReason::withOriginal(settings_file.errorString());
    } else {
        snapshot.content = settings_file.readAll();
        settings_file.close();
    }
    return snapshot;
}

FileResult settings_at_start() {
    const FileResult created = QFileInfo::exists(settings_file.fileName()) ? FileResult() : create_default_settings();
    return created.ok() ? check_settings_file() : created;
}

FileResult check_settings_file() {
    const SettingsSnapshot snapshot = read_settings_snapshot();
    if (!snapshot.read.ok())
        return snapshot.read;
    if (!settings_file.exists())
        return FileResult::failure(settings_file.fileName(), QStringLiteral("файла нет"));
    const SettingsMap map = parseSettings(snapshot.content);
    for (const QString &key : knownKeys) {
        if (map.contains(key))
            return snapshot.read;
    }
    return FileResult::failure(settings_file.fileName(), QStringLiteral("в файле нет ни одной известной настройки"));
}

FileResult store_settings(const SettingsSnapshot &before, const SettingsMap &changes) {
    // Replacing a file that could not be read would lose every pair the dialog does not show.
    if (!before.read.ok())
        return FileResult::failure(
            before.read.path, before.read.reason + QStringLiteral(" — прочитать не удалось, файл оставлен как есть"));
    return replaceSettingsFile(mergeSettings(before.content, changes));
}

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

QByteArray mergeSettings(const QByteArray &content, const SettingsMap &changes) {
    // Pairs by the bytes of their key, a later one replacing an earlier one, as when reading.
    QMap<QByteArray, Pair> pairs;
    Pair pair;
    bool keyLine = true;
    QTextCodec *codec = forEachLine(content, [&](const QString &text, const QByteArray &bytes) {
        if (keyLine) {
            pair = {bytes, QString(), QByteArray()};
        } else {
            pair.value = text;
            pair.valueBytes = bytes;
            pairs.insert(pair.keyBytes, pair);
        }
        keyLine = !keyLine;
    });
    if (!keyLine) // the file ends after a key line: an empty value
        pairs.insert(pair.keyBytes, pair);
    for (auto it = changes.constBegin(); it != changes.constEnd(); ++it) {
        const QByteArray key = encode(codec, it.key());
        const auto found = pairs.constFind(key);
        // A value that reads as the file's own keeps its bytes, even those the encoding cannot read.
        if (found == pairs.constEnd() || found->value != it.value())
            pairs.insert(key, {key, it.value(), encode(codec, it.value())});
    }
    // Ascending key order by UTF-16 code units, each key decoded from its own bytes. That is how the program reads
    // it, except for bytes the encoding cannot read: they decode as U+FFFD (the stream drops them where they end the
    // file), so the order depends on the bytes alone and a second rewrite keeps it. Keys whose bytes differ but
    // decode the same keep the order of their bytes, which the map gives them.
    QVector<QPair<QString, Pair>> sorted;
    for (const Pair &pair : qAsConst(pairs))
        sorted.append({codec->toUnicode(pair.keyBytes), pair});
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const QPair<QString, Pair> &a, const QPair<QString, Pair> &b) { return a.first < b.first; });
    const QByteArray lineEnd = encode(codec, QStringLiteral("\r\n"));
    QByteArray merged = keptByteOrderMark(content);
    for (const auto &entry : qAsConst(sorted))
        merged += entry.second.keyBytes + lineEnd + entry.second.valueBytes + lineEnd;
    return merged;
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
