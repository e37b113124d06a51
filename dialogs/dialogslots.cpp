#include "app/mainwindow.h"

// Placeholder bodies; the dialogs land with their own change.
void MainWindow::slot_settings_con_dlg() {}
void MainWindow::slot_about_dialog() {}
void MainWindow::slot_openPDF() {}
