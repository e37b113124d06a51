#ifndef SAVEPATHDIALOG_H
#define SAVEPATHDIALOG_H

#include <QString>

class QWidget;

// Where to save, or an empty path. A name typed without an extension gets `suffix` inside the dialog, so that the
// dialog asks before it replaces the file that the name then stands for.
QString chooseSavePath(QWidget *parent, const QString &title, const QString &folder, const QString &filter,
                       const QString &suffix);

#endif // SAVEPATHDIALOG_H
