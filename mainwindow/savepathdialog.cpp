#include "mainwindow/savepathdialog.h"

#include <QFileDialog>
#include <QFileInfo>

QString chooseSavePath(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                       const QString &suffix) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    const QStringList chosen = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
    if (chosen.isEmpty())
        return QString();
    QString path = chosen.constFirst();
    // A desktop's own dialog may hand the name back as it was typed.
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}
