#ifndef PROFILETEXT_H
#define PROFILETEXT_H

#include <QByteArray>
#include <QString>

namespace Profiles {

// Why a file's bytes are not a profile's text, and the line the first bad byte stands on (0 when it concerns the file
// as a whole). A profile is UTF-8 text with lines ending in LF or CR LF: a byte that is not part of such text (a NUL,
// a control character, a byte that no UTF-8 character is made of) would otherwise be read past or dropped, and the
// values behind it would go out as something the file does not say.
struct TextProblem {
    QString problem; // empty: the bytes are text
    int line = 0;
};

TextProblem textProblem(const QByteArray &content);

} // namespace Profiles

#endif // PROFILETEXT_H
