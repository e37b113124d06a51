#include "workfiles/fileresult.h"

#include "workfiles/systemreason.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>

QString FileResult::details() const { return QDir::toNativeSeparators(path) + QLatin1String(": ") + reason; }

FileResult FileResult::success(const QString &path) { return {QFileInfo(path).absoluteFilePath(), QString()}; }

// A reason of the system's reaches the operator in Russian, its own words after it; the program's reasons are Russian
// already and stay as they are.
FileResult FileResult::failure(const QString &path, const QString &reason) {
    return {QFileInfo(path).absoluteFilePath(), SystemReason::withOriginal(reason)};
}

FileResult FileResult::systemError(const QString &path, int error) {
    return failure(path, QString::fromLocal8Bit(std::strerror(error)));
}
