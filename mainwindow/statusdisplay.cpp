#include "app/mainwindow.h"

// Placeholder bodies; the status display lands with its own change.
void MainWindow::slot_port_opend(QString, int, int, quint8, int, QString) {}
void MainWindow::slot_port_notopend(QString) {}
void MainWindow::slot_show_message(QString) {}
void MainWindow::showStatus(const QString &) {}
