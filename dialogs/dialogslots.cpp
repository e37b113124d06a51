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
    // Keys the dialog does not show come from the file as it was before the dialog opened.
    SettingsMap map = read_settings_map();
    if (dialog->exec() != QDialog::Accepted)
        return;
    dialog->storeChoice(map);
    // The worker takes the codes that a fresh load of the stored texts would give it.
    if (serial_thread)
        serial_thread->applyConnectionValues(connectionValuesFromMap(map));
    write_settings_map(map);
}

void MainWindow::slot_about_dialog() {
    auto dialog = std::make_unique<About_dl>(nullptr);
    dialog->exec();
}

void MainWindow::slot_openPDF() { QDesktopServices::openUrl(manualUrl(QCoreApplication::applicationDirPath())); }
