// libFuzzer target for the settings reader. Built and run by scripts/fuzz.sh.
#include "fuzz/require.h"
#include "workfiles/settingsfile.h"

#include <QTextCodec>

#include <cstdint>

namespace {

// The field machines read the file as windows-1251; UTF-8 covers multi-byte decoding.
void chooseCodec(const uint8_t *data, size_t size) {
    static QTextCodec *const codecs[] = {QTextCodec::codecForName("windows-1251"), QTextCodec::codecForName("UTF-8")};
    QTextCodec::setCodecForLocale(codecs[size > 0 ? data[0] & 1 : 0]);
}

// The stream switches to a Unicode codec when the content starts with a byte-order mark.
bool startsWithByteOrderMark(const QByteArray &content) {
    return QTextCodec::codecForUtfText(content, nullptr) != nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > 1 << 20)
        return 0;
    chooseCodec(data, size);
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    const SettingsMap read = parseSettings(input);

    const ConnectionValues values = connectionValuesFromMap(read);
    require(values.parity == 0 || values.parity == 2 || values.parity == 3, "parity code out of range");
    require(values.stopbit == 1 || values.stopbit == 2, "stop bits out of range");
    require(values.lenght == 7 || values.lenght == 8, "data bits out of range");
    require(read.size() <= input.count('\n') / 2 + 1, "more pairs than lines");

    // A rewrite keeps every pair, and a second one changes nothing; a pair cut from the wrong lines of the file would
    // show here. Bytes the encoding cannot read show as U+FFFD, so two keys may read the same; everything else reads
    // back as it was. The stream drops such bytes where they end the file, while the rewrite keeps them and ends the
    // line, so the file is taken with its last line ended (not in UTF-16 or UTF-32, where one more byte would be
    // half a character). Only a rewrite that starts, by the key order, with bytes that look like a byte-order mark
    // is read otherwise, and a UTF-32 file is rewritten in the local encoding, which need not hold its text.
    const QTextCodec *unicode = QTextCodec::codecForUtfText(input, nullptr);
    if (unicode && unicode->mibEnum() >= 1017 && unicode->mibEnum() <= 1019)
        return 0;
    const QByteArray ended = input.endsWith('\n') || (unicode && unicode->mibEnum() != 106) ? input : input + '\n';
    const SettingsMap map = parseSettings(ended);
    const QByteArray once = mergeSettings(ended, {});
    // The key order may also put a key that starts with U+0000 first in a UTF-16LE file: FF FE 00 00 is the
    // mark of UTF-32LE, and no writer can tell the two apart there.
    if (startsWithByteOrderMark(once) && QTextCodec::codecForUtfText(once) != QTextCodec::codecForUtfText(ended))
        return 0;
    const SettingsMap reread = parseSettings(once);
    const auto readable = [](const QString &text) { return !text.contains(QChar::ReplacementCharacter); };
    for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
        if (!readable(it.key()))
            continue;
        require(reread.contains(it.key()), "a rewrite loses a key");
        require(!readable(it.value()) || reread.value(it.key()) == it.value(), "a rewrite changes a value");
    }
    for (const QString &key : reread.keys())
        require(!readable(key) || map.contains(key), "a rewrite adds a key");
    require(mergeSettings(once, {}) == once, "a second rewrite changes the file");

    // The dialog's values read back as it stored them.
    const SettingsMap changes = {{QStringLiteral("COM Port"), QStringLiteral("COM3")},
                                 {QStringLiteral("Parity"), QStringLiteral("odd")}};
    const SettingsMap changed = parseSettings(mergeSettings(input, changes));
    require(changed.value(QStringLiteral("COM Port")) == QLatin1String("COM3") &&
                changed.value(QStringLiteral("Parity")) == QLatin1String("odd"),
            "a stored value does not read back");
    return 0;
}
