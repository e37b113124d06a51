#include "protocol/profilefile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Profiles {

namespace {

// A profile is a few kilobytes; a larger file was picked by mistake.
constexpr qint64 maxProfileSize = 64 * 1024;

ReadResult fileProblem(const QString &problem) {
    ReadResult result;
    result.problem = problem;
    return result;
}

} // namespace

ReadResult readProfileFile(const QString &path) {
    const QFileInfo info(path);
    if (!info.exists())
        return fileProblem(QStringLiteral("файла нет"));
    // A FIFO or a device would block the read or never end.
    if (!info.isFile())
        return fileProblem(QStringLiteral("это не обычный файл"));
    if (info.size() > maxProfileSize)
        return fileProblem(QStringLiteral("файл больше %1 КиБ: это не профиль").arg(maxProfileSize / 1024));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fileProblem(QStringLiteral("файл не читается: %1").arg(file.errorString()));
    return readProfile(file.read(maxProfileSize + 1));
}

QString writeProfileFile(const QString &path, const Profile &profile) {
    const QByteArray content = writeProfile(profile);
    const ReadResult check = readProfile(content);
    if (!check.isValid())
        return check.problem;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("файл не записывается: %1").arg(file.errorString());
    if (file.write(content) != content.size() || !file.flush()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        file.commit();
        return QStringLiteral("файл не записан: %1").arg(reason);
    }
    return file.commit() ? QString() : QStringLiteral("файл не записан: %1").arg(file.errorString());
}

} // namespace Profiles
