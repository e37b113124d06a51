#include "mainwindow/mainwindow.h"

#include "app/settingsfile.h"
#include "dialogs/about_dl.h"
#include "dialogs/manualurl.h"
#include "dialogs/settings_dlg.h"
#include "serial/serialthread.h"

#include <QCoreApplication>
#include <QDesktopServices>

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

void MainWindow::slot_openPDF() { QDesktopServices::openUrl(manualUrl(QCoreApplication::applicationDirPath())); }
