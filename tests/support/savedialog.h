#ifndef SAVEDIALOG_H
#define SAVEDIALOG_H

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

// Answers the next save dialog with `path`; a question whether to replace a file is kept in `asked`, answered "Yes".
inline void answerSaveDialog(const QString &path, QString *asked) {
    QTimer::singleShot(0, [=] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        dialog->selectFile(path);
        QTimer::singleShot(0, [=] {
            if (auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                *asked = question->text();
                question->button(QMessageBox::Yes)->click();
            }
        });
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

#endif // SAVEDIALOG_H
