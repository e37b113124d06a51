#include "protocol/profiletext.h"

namespace Profiles {

namespace {

const QString saveAsUtf8 = QStringLiteral("профиль читается только в UTF-8, сохраните его в этой кодировке");

TextProblem wholeFile(const QString &problem) { return {problem, 0}; }

QString hexDigits(uint value, int width) {
    return QString::number(value, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

// UTF-16 without a byte-order mark: the first characters are ASCII, so nearly every pair of bytes holds one zero.
bool looksLikeUtf16(const QByteArray &content) {
    const int pairs = qMin(content.size(), 200) / 2;
    if (pairs < 2)
        return false;
    int halfZero = 0;
    for (int index = 0; index < pairs; ++index)
        halfZero += (content.at(2 * index) == 0) != (content.at(2 * index + 1) == 0) ? 1 : 0;
    return halfZero * 4 >= pairs * 3;
}

// The length of the UTF-8 character that starts at `at`, or 0 when the bytes there are not one (a stray continuation
// byte, a character cut short, an overlong form, a surrogate, a code point beyond U+10FFFF). `codePoint` gets it.
int characterLength(const QByteArray &content, int at, uint *codePoint) {
    const auto byte = [&](int index) { return index < content.size() ? uchar(content.at(index)) : 0u; };
    const uint lead = byte(at);
    int length = 0;
    uint low = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        low = 0x80;
        *codePoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = 0x800;
        *codePoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = 0x10000;
        *codePoint = lead & 0x07;
    } else {
        return 0;
    }
    for (int index = 1; index < length; ++index) {
        const uint next = byte(at + index);
        if ((next & 0xC0) != 0x80)
            return 0;
        *codePoint = (*codePoint << 6) | (next & 0x3F);
    }
    if (*codePoint < low || *codePoint > 0x10FFFF || (*codePoint >= 0xD800 && *codePoint <= 0xDFFF))
        return 0;
    return length;
}

} // namespace

TextProblem textProblem(const QByteArray &content) {
    if (content.startsWith(QByteArray("\xFF\xFE\0\0", 4)) || content.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        return wholeFile(QStringLiteral("файл в кодировке UTF-32; ") + saveAsUtf8);
    if (content.startsWith("\xFF\xFE") || content.startsWith("\xFE\xFF"))
        return wholeFile(QStringLiteral("файл в кодировке UTF-16; ") + saveAsUtf8);
    if (looksLikeUtf16(content))
        return wholeFile(QStringLiteral("файл, по-видимому, в кодировке UTF-16; ") + saveAsUtf8);
    if (content.contains('\r') && !content.contains('\n'))
        return wholeFile(QStringLiteral("строки разделены одним знаком CR, как в старых файлах Mac; строки профиля "
                                        "оканчиваются на LF или CR LF"));
    int line = 1;
    for (int at = content.startsWith("\xEF\xBB\xBF") ? 3 : 0; at < content.size();) {
        const uchar byte = uchar(content.at(at));
        if (byte == '\n') {
            ++line;
            ++at;
            continue;
        }
        if (byte == '\r' && (at + 1 == content.size() || content.at(at + 1) == '\n')) {
            ++at;
            continue;
        }
        if (byte == 0)
            return {QStringLiteral("нулевой байт (NUL): профиль — текстовый файл"), line};
        if (byte == '\r')
            return {QStringLiteral("знак CR посреди строки: строки профиля оканчиваются на LF или CR LF"), line};
        uint codePoint = 0;
        const int length = characterLength(content, at, &codePoint);
        if (length == 0)
            return {QStringLiteral("байт 0x%1 — не текст UTF-8; ").arg(hexDigits(byte, 2)) + saveAsUtf8, line};
        if ((codePoint < 0x20 && codePoint != '\t') || (codePoint >= 0x7F && codePoint <= 0x9F))
            return {QStringLiteral("управляющий символ U+%1: профиль — текстовый файл").arg(hexDigits(codePoint, 4)),
                    line};
        at += length;
    }
    return {};
}

} // namespace Profiles
