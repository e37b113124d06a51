#ifndef FIELDMARK_H
#define FIELDMARK_H

#include <QString>

class QLineEdit;

// The mark of a field whose value kept a command from going out: a red frame on a pink face and the reason in the
// field's tooltip, until the field's text changes. The report in the status bar says the same in words.
namespace FieldMark {

void mark(QLineEdit *field, const QString &reason);
bool isMarked(const QLineEdit *field);

} // namespace FieldMark

#endif // FIELDMARK_H
