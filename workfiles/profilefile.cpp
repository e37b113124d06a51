#include "workfiles/profilefile.h"

#include "workfiles/safefile.h"

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
    QByteArray content;
    const FileResult read = SafeFile::readRegular(path, maxProfileSize, &content);
    if (!read.ok())
        return fileProblem(read.reason);
    if (content.size() > maxProfileSize)
        return fileProblem(QStringLiteral("файл больше %1 КиБ: это не профиль").arg(maxProfileSize / 1024));
    return readProfile(content);
}

QString writeProfileFile(const QString &path, const Profile &profile) {
    const QByteArray content = writeProfile(profile);
    const ReadResult check = readProfile(content);
    if (!check.isValid())
        return check.problem;
    return SafeFile::replace(path, content).reason;
}

} // namespace Profiles
