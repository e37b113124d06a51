#include "app/mainwindow.h"
#include "mainwindow/commands.h"
#include "ui_mainwindow.h"

#include <QDateTime>

namespace {

struct UnitWidgets {
    QCheckBox *box;
    QLineEdit *address;
    QRadioButton *digital;
};

struct ChannelWidgets {
    QLabel *address;
    std::array<QCheckBox *, Commands::CmPerChannel> cm;
    QLineEdit *date;
    QLineEdit *code;
    QLineEdit *serialNumber;
};

std::array<UnitWidgets, Commands::ControlUnitCount> unitWidgets(const Ui::MainWindow &ui) {
    return {{{ui.chB_1, ui.lE_1, ui.rB_dig_1},
             {ui.chB_2, ui.lE_2, ui.rB_dig_2},
             {ui.chB_3, ui.lE_3, ui.rB_dig_3},
             {ui.chB_4, ui.lE_4, ui.rB_dig_4},
             {ui.chB_5, ui.lE_5, ui.rB_dig_5},
             {ui.chB_6, ui.lE_6, ui.rB_dig_6},
             {ui.chB_7, ui.lE_7, ui.rB_dig_7},
             {ui.chB_8, ui.lE_8, ui.rB_dig_8}}};
}

std::array<ChannelWidgets, Commands::ChannelCount> channelWidgets(const Ui::MainWindow &ui) {
    return {{{ui.lb_Adr_Chanel_1,
              {ui.chB_Chanel1_CM_1, ui.chB_Chanel1_CM_2, ui.chB_Chanel1_CM_3, ui.chB_Chanel1_CM_4},
              ui.lE_Date_Ch_1,
              ui.lE_Kod_Ch_1,
              ui.lE_Nom_Ch_1},
             {ui.lb_Adr_Chanel_2,
              {ui.chB_Chanel2_CM_1, ui.chB_Chanel2_CM_2, ui.chB_Chanel2_CM_3, ui.chB_Chanel2_CM_4},
              ui.lE_Date_Ch_2,
              ui.lE_Kod_Ch_2,
              ui.lE_Nom_Ch_2},
             {ui.lb_Adr_Chanel_3,
              {ui.chB_Chanel3_CM_1, ui.chB_Chanel3_CM_2, ui.chB_Chanel3_CM_3, ui.chB_Chanel3_CM_4},
              ui.lE_Date_Ch_3,
              ui.lE_Kod_Ch_3,
              ui.lE_Nom_Ch_3},
             {ui.lb_Adr_Chanel_4,
              {ui.chB_Chanel4_CM_1, ui.chB_Chanel4_CM_2, ui.chB_Chanel4_CM_3, ui.chB_Chanel4_CM_4},
              ui.lE_Date_Ch_4,
              ui.lE_Kod_Ch_4,
              ui.lE_Nom_Ch_4}}};
}

Commands::ControlUnits controlUnits(const Ui::MainWindow &ui) {
    const auto widgets = unitWidgets(ui);
    Commands::ControlUnits units;
    for (int index = 0; index < Commands::ControlUnitCount; ++index) {
        const UnitWidgets &unit = widgets[index];
        // The cascade disables a checked unit behind an unchecked one; it must not go out.
        const bool included = unit.box->isChecked() && (index == 0 || unit.box->isEnabled());
        units[index] = {included, unit.address->text(), !unit.digital->isChecked()};
    }
    return units;
}

Commands::Channels channels(const Ui::MainWindow &ui) {
    const auto widgets = channelWidgets(ui);
    Commands::Channels result;
    for (int index = 0; index < Commands::ChannelCount; ++index) {
        const ChannelWidgets &channel = widgets[index];
        result[index] = {
            channel.address->text(), {}, channel.date->text(), channel.code->text(), channel.serialNumber->text()};
        for (int cm = 0; cm < Commands::CmPerChannel; ++cm)
            result[index].cmChecked[cm] = channel.cm[cm]->isChecked();
    }
    return result;
}

Commands::MeterType meterType(const Ui::MainWindow &ui) {
    if (ui.rB_RS485_el_counter->isChecked())
        return Commands::MeterType::Rs485;
    return ui.rB_Imp_el_counter->isChecked() ? Commands::MeterType::Pulse : Commands::MeterType::None;
}

} // namespace

void MainWindow::on_pB_Send_1_clicked() {
    if (m_ui->rb_1Chanel->isChecked())
        emit signal_data_send(Commands::singleChannel(controlUnits(*m_ui)));
    else if (m_ui->rb_NChanel->isChecked())
        emit signal_data_send(Commands::multiChannel(channels(*m_ui)));
}

void MainWindow::on_pB_Send_2_clicked() {
    emit signal_data_send(Commands::dateTime(m_ui->lE_Time->text(), m_ui->lE_Date->text()));
}

void MainWindow::on_pB_Current_DateTime_clicked() {
    m_ui->lE_Time->setText(QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss")));
    m_ui->lE_Date->setText(QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy")));
}

void MainWindow::on_pB_Send_3_clicked() {
    const QString reading = m_ui->lE_current_val_el_counter->text();
    emit signal_data_send(Commands::meter(meterType(*m_ui), reading, m_ui->lE_coef_el_counter->text()));
}
