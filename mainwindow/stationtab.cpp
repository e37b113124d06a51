#include "app/mainwindow.h"

// Placeholder bodies; the station tab lands with its own change.
void MainWindow::on_rb_1Chanel_clicked(bool) {}
void MainWindow::on_rb_NChanel_clicked(bool) {}
void MainWindow::on_chB_1_clicked(bool checked) { applyUnitCascade(1, checked); }
void MainWindow::on_chB_2_clicked(bool checked) { applyUnitCascade(2, checked); }
void MainWindow::on_chB_3_clicked(bool checked) { applyUnitCascade(3, checked); }
void MainWindow::on_chB_4_clicked(bool checked) { applyUnitCascade(4, checked); }
void MainWindow::on_chB_5_clicked(bool checked) { applyUnitCascade(5, checked); }
void MainWindow::on_chB_6_clicked(bool checked) { applyUnitCascade(6, checked); }
void MainWindow::on_chB_7_clicked(bool checked) { applyUnitCascade(7, checked); }
void MainWindow::on_chB_8_clicked(bool checked) { applyUnitCascade(8, checked); }
void MainWindow::on_chB_Chanel1_CM_1_clicked(bool checked) { applyCmRule(1, 1, checked); }
void MainWindow::on_chB_Chanel1_CM_2_clicked(bool checked) { applyCmRule(1, 2, checked); }
void MainWindow::on_chB_Chanel1_CM_3_clicked(bool checked) { applyCmRule(1, 3, checked); }
void MainWindow::on_chB_Chanel1_CM_4_clicked(bool checked) { applyCmRule(1, 4, checked); }
void MainWindow::on_chB_Chanel2_CM_1_clicked(bool checked) { applyCmRule(2, 1, checked); }
void MainWindow::on_chB_Chanel2_CM_2_clicked(bool checked) { applyCmRule(2, 2, checked); }
void MainWindow::on_chB_Chanel2_CM_3_clicked(bool checked) { applyCmRule(2, 3, checked); }
void MainWindow::on_chB_Chanel2_CM_4_clicked(bool checked) { applyCmRule(2, 4, checked); }
void MainWindow::on_chB_Chanel3_CM_1_clicked(bool checked) { applyCmRule(3, 1, checked); }
void MainWindow::on_chB_Chanel3_CM_2_clicked(bool checked) { applyCmRule(3, 2, checked); }
void MainWindow::on_chB_Chanel3_CM_3_clicked(bool checked) { applyCmRule(3, 3, checked); }
void MainWindow::on_chB_Chanel3_CM_4_clicked(bool checked) { applyCmRule(3, 4, checked); }
void MainWindow::on_chB_Chanel4_CM_1_clicked(bool checked) { applyCmRule(4, 1, checked); }
void MainWindow::on_chB_Chanel4_CM_2_clicked(bool checked) { applyCmRule(4, 2, checked); }
void MainWindow::on_chB_Chanel4_CM_3_clicked(bool checked) { applyCmRule(4, 3, checked); }
void MainWindow::on_chB_Chanel4_CM_4_clicked(bool checked) { applyCmRule(4, 4, checked); }
void MainWindow::applyUnitCascade(int, bool) {}
void MainWindow::applyCmRule(int, int, bool) {}
