#ifndef MANUALURL_H
#define MANUALURL_H

#include <QString>
#include <QUrl>

// The user manual that lies beside the program in the directory appDir.
QUrl manualUrl(const QString &appDir);

#endif // MANUALURL_H
