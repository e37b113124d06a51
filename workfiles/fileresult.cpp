#include "workfiles/fileresult.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

QString FileResult::details() const { return QDir::toNativeSeparators(path) + QLatin1String(": ") + reason; }

FileResult FileResult::success(const QString &path) { return {QFileInfo(path).absoluteFilePath(), QString()}; }

FileResult FileResult::failure(const QString &path, const QString &reason) {
    return {QFileInfo(path).absoluteFilePath(), reason};
}

FileResult FileResult::systemError(const QString &path, int error) {
    return failure(path, QString::fromLocal8Bit(std::strerror(error)));
}
