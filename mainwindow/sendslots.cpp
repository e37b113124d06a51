#include "app/mainwindow.h"

// Placeholder bodies; the command tabs land with their own change.
void MainWindow::on_pB_Send_1_clicked() {}
void MainWindow::on_pB_Send_2_clicked() {}
void MainWindow::on_pB_Current_DateTime_clicked() {}
void MainWindow::on_pB_Send_3_clicked() {}
