#include "mainwindow/mainwindow.h"

#include "app/settingsfile.h"
#include "dialogs/about_dl.h"
#include "dialogs/manualfile.h"
#include "dialogs/manualopener.h"
#include "dialogs/settings_dlg.h"
#include "serial/serialthread.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>

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

// Every notice about the manual begins so; a new request makes the last one out of date.
static const QString manualNotice = QStringLiteral("Руководство");

void MainWindow::slot_openPDF() {
    if (m_notice->text().startsWith(manualNotice))
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
