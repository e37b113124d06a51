#include "mainwindow/savepathdialog.h"

#include <QFileDialog>
#include <QFileInfo>

QString chooseSavePath(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                       const QString &suffix) {
    QFileDialog dialog(parent, title, folder, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    QString path = dialog.selectedFiles().constFirst();
    // A desktop's own dialog may hand the name back as it was typed.
    if (QFileInfo(path).suffix().isEmpty())
        path += QLatin1Char('.') + suffix;
    return path;
}
