#include "dialogs/manualfile.h"

#include <QDir>
#include <QFileInfo>

QString manualFileName() { return QStringLiteral("Руководство пользователя.pdf"); }

// ZEVR_MANUAL_DATA_DIR is the installed data folder relative to the installed program's folder.
QStringList manualFolders(const QString &appDir) {
    QStringList folders = {QDir::cleanPath(appDir + QStringLiteral("/" ZEVR_MANUAL_DATA_DIR)), QDir::cleanPath(appDir)};
    folders.removeDuplicates(); // where the manual is installed beside the program
    return folders;
}

QString findManual(const QString &appDir) {
    for (const QString &folder : manualFolders(appDir)) {
        const QString path = folder + QLatin1Char('/') + manualFileName();
        if (QFileInfo(path).isFile())
            return path;
    }
    return QString();
}
