#include "mainwindow/mainwindow.h"

#include "mainwindow/fieldmark.h"
#include "serial/transmissionjournal.h"
#include "ui_mainwindow.h"

#include <QHash>
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

// The line edits by the names that the refusals give them.
QLineEdit *MainWindow::refusedField(const QString &name) const {
    QHash<QString, QLineEdit *> fields = {{QStringLiteral("время"), m_ui->lE_Time},
                                          {QStringLiteral("дата"), m_ui->lE_Date},
                                          {QStringLiteral("текущее значение"), m_ui->lE_current_val_el_counter},
                                          {QStringLiteral("коэффициент"), m_ui->lE_coef_el_counter}};
    for (int unit = 1; unit <= Commands::ControlUnitCount; ++unit)
        fields.insert(QStringLiteral("адрес БУ%1").arg(unit), unitWidgets(unit).address);
    for (int channel = 1; channel <= Commands::ChannelCount; ++channel) {
        const QString suffix = QStringLiteral(" канала %1").arg(channel);
        fields.insert(QStringLiteral("дата выпуска") + suffix, dateField(channel));
        fields.insert(QStringLiteral("код подразделения") + suffix, codeField(channel));
        fields.insert(QStringLiteral("порядковый номер") + suffix, serialNumberField(channel));
    }
    return fields.value(name);
}

// A command that a field keeps from going out never reaches the line: the status bar says which field and why, the
// field itself is marked and takes the keyboard, scrolled into view on a page that scrolls, and the history keeps
// the refusal beside the commands that went out.
void MainWindow::sendCommand(const Commands::Encoded &command, char letter) {
    if (!command.isRefused()) {
        emit signal_data_send(command.bytes);
        return;
    }
    showStatus(command.refusal);
    if (m_journal)
        m_journal->refuse(refusedCommandWords(letter), command.refusal);
    if (QLineEdit *field = refusedField(command.field)) {
        FieldMark::mark(field, command.refusal);
        m_ui->scrollArea->ensureWidgetVisible(field);
    }
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

// One reading for time and date: two readings taken across midnight would pair the last second of one day with
// the date of the next, and the controller's clock would be a day ahead. The workstation's locale may write its
// own digits (Arabic-Indic, say); the fields and the command take the ASCII ones, as the log's time stamps do.
static Profiles::Clock clockReading(const QDateTime &now) {
    const QLocale c = QLocale::c();
    return {c.toString(now, QStringLiteral("hh:mm:ss")), c.toString(now, QStringLiteral("dd/MM/yyyy"))};
}

void MainWindow::on_pB_Current_DateTime_clicked() {
    const Profiles::Clock now = clockReading(m_clock());
    m_ui->lE_Time->setText(now.time);
    m_ui->lE_Date->setText(now.date);
}

void MainWindow::sendClockNow() { sendCommand(Profiles::clockCommand(clockReading(m_clock())), 'y'); }

void MainWindow::on_pB_Send_3_clicked() {
    const QString reading = m_ui->lE_current_val_el_counter->text();
    sendCommand(Commands::meter(meterType(), reading, m_ui->lE_coef_el_counter->text()), 'z');
}
