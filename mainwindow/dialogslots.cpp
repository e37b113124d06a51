#include "mainwindow/mainwindow.h"

#include "dialogs/about_dl.h"
#include "dialogs/manualfile.h"
#include "dialogs/manualopener.h"
#include "dialogs/settings_dlg.h"
#include "mainwindow/statusline.h"
#include "serial/serialthread.h"
#include "workfiles/settingsfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>

#include <memory>

void MainWindow::slot_settings_con_dlg() {
    auto dialog = std::make_unique<settings_dlg>(nullptr);
    // Keys the dialog does not show come from the file as it was before the dialog opened, byte for byte.
    const SettingsSnapshot before = read_settings_snapshot();
    if (dialog->exec() != QDialog::Accepted)
        return;
    SettingsMap choice;
    dialog->storeChoice(choice);
    // The worker takes the codes that a fresh load of the stored texts would give it, whether or not they can be
    // stored.
    if (serial_thread)
        serial_thread->applyConnectionValues(connectionValuesFromMap(choice));
    const QString notSaved = QStringLiteral("Настройки не сохранены, действуют до выхода");
    const FileResult saved = store_settings(before, choice);
    if (saved.ok())
        withdrawNotice(notSaved);
    else
        showNotice(notSaved, saved.details());
}

void MainWindow::slot_about_dialog() {
    auto dialog = std::make_unique<About_dl>(nullptr);
    dialog->exec();
}

// Every notice about the manual begins so; a new request makes the last one out of date.
static const QString manualNotice = QStringLiteral("Руководство");

void MainWindow::slot_openPDF() {
    if (m_status->notice().startsWith(manualNotice))
        showNotice(QString());
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString path = findManual(appDir);
    if (!path.isEmpty()) {
        m_manualOpener->open(path);
        return;
    }
    QStringList folders;
    for (const QString &folder : manualFolders(appDir))
        folders << QDir::toNativeSeparators(folder);
    showNotice(manualNotice + QStringLiteral(" пользователя не найдено"),
               QStringLiteral("Файла «") + manualFileName() + QStringLiteral("» нет ни в одной из папок:\n") +
                   folders.join(QLatin1Char('\n')));
}
