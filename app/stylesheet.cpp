#include "app/stylesheet.h"

#include <QFile>

QString readStyleSheet(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray bytes = file.readAll();
    return QString::fromLatin1(bytes.constData());
}
