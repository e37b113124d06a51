#include "dialogs/manualurl.h"

// A local-file URL names the file on every platform, also where the path holds blanks or Cyrillic
// letters, or begins with a slash of its own.
QUrl manualUrl(const QString &appDir) {
    return QUrl::fromLocalFile(appDir + QStringLiteral("/Руководство пользователя.pdf"));
}
