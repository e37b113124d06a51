#include "app/qttranslation.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

namespace {
const QString baseName = QStringLiteral("qtbase_ru");
} // namespace

QString installQtTranslation(const QString &programFolder) {
    const QStringList folders = {QDir(programFolder).filePath(QStringLiteral("translations")),
                                 QLibraryInfo::location(QLibraryInfo::TranslationsPath)};
    auto *translator = new QTranslator(QCoreApplication::instance());
    for (const QString &folder : folders) {
        if (translator->load(baseName, folder) && QCoreApplication::installTranslator(translator))
            return translator->filePath();
    }
    delete translator;
    return QString();
}
