#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"

#include <array>

namespace {

// Mode buttons before the address field: the order in which a unit is switched on or off.
void setUnitFieldsEnabled(QRadioButton *analog, QRadioButton *digital, QLineEdit *address, bool enabled) {
    analog->setEnabled(enabled);
    digital->setEnabled(enabled);
    address->setEnabled(enabled);
}

} // namespace

void MainWindow::on_rb_1Chanel_clicked(bool checked) {
    if (checked)
        m_ui->stackedWidget->setCurrentWidget(m_ui->page);
}

void MainWindow::on_rb_NChanel_clicked(bool checked) {
    if (checked)
        m_ui->stackedWidget->setCurrentWidget(m_ui->page_2);
}

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

// A unit box is usable only while every box before it is checked, so switching one unit walks on
// through the checked units behind it and stops after the first unchecked box. Check marks are only
// read here: a unit that gets disabled keeps its settings for when it comes back.
void MainWindow::applyUnitCascade(int unit, bool checked) {
    const UnitWidgets own = unitWidgets(unit);
    if (unit == 1)
        own.address->setEnabled(checked); // unit 1 keeps its mode buttons usable whatever its box says
    else
        setUnitFieldsEnabled(own.analog, own.digital, own.address, checked);

    for (int next = unit + 1; next <= Commands::ControlUnitCount; ++next) {
        const UnitWidgets following = unitWidgets(next);
        following.box->setEnabled(checked);
        if (!following.box->isChecked())
            break;
        setUnitFieldsEnabled(following.analog, following.digital, following.address, checked);
    }
}

// A CM number belongs to at most one channel at a time: the channel that takes it locks the same box
// in the other channels until it gives it back.
void MainWindow::applyCmRule(int channel, int cm, bool checked) {
    addressLabel(channel)->setText(lowestCmText(channel, cm, checked));
    for (int other = 1; other <= Commands::ChannelCount; ++other) {
        if (other != channel)
            cmBox(other, cm)->setEnabled(!checked);
    }
}

// The channel's network address is its lowest CM number; " " says that the channel has none.
QString MainWindow::lowestCmText(int channel, int clickedCm, bool clickedChecked) const {
    for (int cm = 1; cm <= Commands::CmPerChannel; ++cm) {
        const bool isChecked = cm == clickedCm ? clickedChecked : cmBox(channel, cm)->isChecked();
        if (isChecked)
            return QString::number(cm);
    }
    return QStringLiteral(" ");
}

MainWindow::UnitWidgets MainWindow::unitWidgets(int unit) const {
    const std::array<UnitWidgets, Commands::ControlUnitCount> units = {{
        {m_ui->chB_1, m_ui->lE_1, m_ui->rB_dig_1, m_ui->rB_anl_1},
        {m_ui->chB_2, m_ui->lE_2, m_ui->rB_dig_2, m_ui->rB_anl_2},
        {m_ui->chB_3, m_ui->lE_3, m_ui->rB_dig_3, m_ui->rB_anl_3},
        {m_ui->chB_4, m_ui->lE_4, m_ui->rB_dig_4, m_ui->rB_anl_4},
        {m_ui->chB_5, m_ui->lE_5, m_ui->rB_dig_5, m_ui->rB_anl_5},
        {m_ui->chB_6, m_ui->lE_6, m_ui->rB_dig_6, m_ui->rB_anl_6},
        {m_ui->chB_7, m_ui->lE_7, m_ui->rB_dig_7, m_ui->rB_anl_7},
        {m_ui->chB_8, m_ui->lE_8, m_ui->rB_dig_8, m_ui->rB_anl_8},
    }};
    return units.at(unit - 1);
}

QCheckBox *MainWindow::cmBox(int channel, int cm) const {
    const std::array<std::array<QCheckBox *, Commands::CmPerChannel>, Commands::ChannelCount> boxes = {{
        {m_ui->chB_Chanel1_CM_1, m_ui->chB_Chanel1_CM_2, m_ui->chB_Chanel1_CM_3, m_ui->chB_Chanel1_CM_4},
        {m_ui->chB_Chanel2_CM_1, m_ui->chB_Chanel2_CM_2, m_ui->chB_Chanel2_CM_3, m_ui->chB_Chanel2_CM_4},
        {m_ui->chB_Chanel3_CM_1, m_ui->chB_Chanel3_CM_2, m_ui->chB_Chanel3_CM_3, m_ui->chB_Chanel3_CM_4},
        {m_ui->chB_Chanel4_CM_1, m_ui->chB_Chanel4_CM_2, m_ui->chB_Chanel4_CM_3, m_ui->chB_Chanel4_CM_4},
    }};
    return boxes.at(channel - 1).at(cm - 1);
}

QLabel *MainWindow::addressLabel(int channel) const {
    const std::array<QLabel *, Commands::ChannelCount> labels = {
        {m_ui->lb_Adr_Chanel_1, m_ui->lb_Adr_Chanel_2, m_ui->lb_Adr_Chanel_3, m_ui->lb_Adr_Chanel_4}};
    return labels.at(channel - 1);
}
