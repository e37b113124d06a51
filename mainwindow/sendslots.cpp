#include "mainwindow/mainwindow.h"

#include "serial/transmissionjournal.h"
#include "ui_mainwindow.h"

#include <QLocale>

#include <array>

namespace {

// A refused command has no bytes to be described from; the history names it by its letter, as the described ones
// begin.
QString refusedCommandWords(char letter) {
    switch (letter) {
    case 'w':
        return QStringLiteral("w одноканальная");
    case 'x':
        return QStringLiteral("x многоканальная");
    case 'y':
        return QStringLiteral("y время и дата");
    default:
        return QStringLiteral("z электросчетчик");
    }
}

} // namespace

void MainWindow::setClock(Clock clock) { m_clock = clock ? std::move(clock) : Clock(&QDateTime::currentDateTime); }

QLineEdit *MainWindow::dateField(int channel) const {
    const std::array<QLineEdit *, Commands::ChannelCount> fields = {
        {m_ui->lE_Date_Ch_1, m_ui->lE_Date_Ch_2, m_ui->lE_Date_Ch_3, m_ui->lE_Date_Ch_4}};
    return fields.at(channel - 1);
}

QLineEdit *MainWindow::codeField(int channel) const {
    const std::array<QLineEdit *, Commands::ChannelCount> fields = {
        {m_ui->lE_Kod_Ch_1, m_ui->lE_Kod_Ch_2, m_ui->lE_Kod_Ch_3, m_ui->lE_Kod_Ch_4}};
    return fields.at(channel - 1);
}

QLineEdit *MainWindow::serialNumberField(int channel) const {
    const std::array<QLineEdit *, Commands::ChannelCount> fields = {
        {m_ui->lE_Nom_Ch_1, m_ui->lE_Nom_Ch_2, m_ui->lE_Nom_Ch_3, m_ui->lE_Nom_Ch_4}};
    return fields.at(channel - 1);
}

Commands::ControlUnits MainWindow::controlUnits() const {
    Commands::ControlUnits units;
    for (int unit = 1; unit <= Commands::ControlUnitCount; ++unit) {
        const UnitWidgets widgets = unitWidgets(unit);
        // The cascade disables a checked unit behind an unchecked one; it must not go out.
        const bool included = widgets.box->isChecked() && (unit == 1 || widgets.box->isEnabled());
        units[unit - 1] = {included, widgets.address->text(), !widgets.digital->isChecked()};
    }
    return units;
}

Commands::Channels MainWindow::channels() const {
    Commands::Channels result;
    for (int channel = 1; channel <= Commands::ChannelCount; ++channel) {
        Commands::Channel &record = result[channel - 1];
        record = {addressLabel(channel)->text(),
                  {},
                  dateField(channel)->text(),
                  codeField(channel)->text(),
                  serialNumberField(channel)->text()};
        for (int cm = 1; cm <= Commands::CmPerChannel; ++cm)
            record.cmChecked[cm - 1] = cmBox(channel, cm)->isChecked();
    }
    return result;
}

Commands::MeterType MainWindow::meterType() const {
    if (m_ui->rB_RS485_el_counter->isChecked())
        return Commands::MeterType::Rs485;
    return m_ui->rB_Imp_el_counter->isChecked() ? Commands::MeterType::Pulse : Commands::MeterType::None;
}

// A command that a field keeps from going out never reaches the line: the status bar says which field and why, and
// the history keeps the refusal beside the commands that went out.
void MainWindow::sendCommand(const Commands::Encoded &command, char letter) {
    if (!command.isRefused()) {
        emit signal_data_send(command.bytes);
        return;
    }
    showStatus(command.refusal);
    if (m_journal)
        m_journal->refuse(refusedCommandWords(letter), command.refusal);
}

void MainWindow::on_pB_Send_1_clicked() {
    if (m_ui->rb_1Chanel->isChecked())
        sendCommand(Commands::singleChannel(controlUnits()), 'w');
    else if (m_ui->rb_NChanel->isChecked())
        sendCommand(Commands::multiChannel(channels()), 'x');
}

void MainWindow::on_pB_Send_2_clicked() {
    sendCommand(Commands::dateTime(m_ui->lE_Time->text(), m_ui->lE_Date->text()), 'y');
}

void MainWindow::on_pB_Current_DateTime_clicked() {
    // One reading for both fields: two readings taken across midnight would pair the last second of one
    // day with the date of the next, and the controller's clock would be a day ahead.
    const QDateTime now = m_clock();
    // The workstation's locale may write its own digits (Arabic-Indic, say); the fields and the command take
    // the ASCII ones, as the log's time stamps do.
    const QLocale c = QLocale::c();
    m_ui->lE_Time->setText(c.toString(now, QStringLiteral("hh:mm:ss")));
    m_ui->lE_Date->setText(c.toString(now, QStringLiteral("dd/MM/yyyy")));
}

void MainWindow::on_pB_Send_3_clicked() {
    const QString reading = m_ui->lE_current_val_el_counter->text();
    sendCommand(Commands::meter(meterType(), reading, m_ui->lE_coef_el_counter->text()), 'z');
}
