// libFuzzer target for the settings reader. Built and run by scripts/fuzz.sh.
#include "app/settingsfile.h"

#include <QTextCodec>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what) {
    if (condition)
        return;
    std::fprintf(stderr, "settings fuzzer: %s\n", what);
    std::abort();
}

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
    const SettingsMap map = parseSettings(input);

    const ConnectionValues values = connectionValuesFromMap(map);
    require(values.parity == 0 || values.parity == 2 || values.parity == 3, "parity code out of range");
    require(values.stopbit == 1 || values.stopbit == 2, "stop bits out of range");
    require(values.lenght == 7 || values.lenght == 8, "data bits out of range");
    require(map.size() <= input.count('\n') / 2 + 1, "more pairs than lines");

    // Writing what was read and reading it back must be stable: a rewrite may not shift, merge or lose pairs.
    // The first round may still normalise text the codec cannot hold, so stability is checked from the second.
    const QByteArray once = formatSettings(map);
    require(once.count("\r\n") == 2 * map.size(), "rewrite is not one key line and one value line per pair");
    if (startsWithByteOrderMark(once))
        return 0;
    const SettingsMap reread = parseSettings(once);
    const QByteArray twice = formatSettings(reread);
    if (startsWithByteOrderMark(twice))
        return 0;
    require(parseSettings(twice) == reread, "rewritten settings do not read back the same");
    return 0;
}
