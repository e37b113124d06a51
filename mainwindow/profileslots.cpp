#include "mainwindow/mainwindow.h"

#include "mainwindow/savepathdialog.h"
#include "ui_mainwindow.h"
#include "workfiles/profilefile.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace {

const QString profileFilter = QStringLiteral("Профили (*.ini);;Все файлы (*)");

QString tabNames(const Profiles::Profile &profile) {
    QStringList names;
    if (profile.station)
        names << QStringLiteral("«СКЗ»");
    if (profile.clock)
        names << QStringLiteral("«Время»");
    if (profile.meter)
        names << QStringLiteral("«Эл. счетчик»");
    return names.join(QStringLiteral(", "));
}

} // namespace

void MainWindow::slot_open_profile() {
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("Открыть профиль"), m_profileFolder, profileFilter);
    if (!path.isEmpty())
        openProfile(path);
}

void MainWindow::slot_save_profile() {
    const QString path = chooseSavePath(this, QStringLiteral("Сохранить профиль"), m_profileFolder, profileFilter,
                                        QStringLiteral("ini"));
    if (!path.isEmpty())
        saveProfile(path);
}

bool MainWindow::openProfile(const QString &path) {
    m_profileFolder = QFileInfo(path).absolutePath();
    const Profiles::ReadResult read = Profiles::readProfileFile(path);
    const QString where = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!read.isValid()) {
        showNotice(QStringLiteral("Профиль не открыт: ") + read.message(), where + QLatin1Char('\n') + read.message());
        return false;
    }
    applyProfile(read.profile);
    showProfileInTitle(path);
    showNotice(QStringLiteral("Профиль открыт: ") + QFileInfo(path).fileName(),
               where + QStringLiteral("\nВкладки: ") + tabNames(read.profile));
    return true;
}

bool MainWindow::saveProfile(const QString &path) {
    m_profileFolder = QFileInfo(path).absolutePath();
    const QString problem = Profiles::writeProfileFile(path, currentProfile());
    const QString where = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    if (!problem.isEmpty()) {
        showNotice(QStringLiteral("Профиль не сохранён: ") + problem, where + QLatin1Char('\n') + problem);
        return false;
    }
    showProfileInTitle(path);
    showNotice(QStringLiteral("Профиль сохранён: ") + QFileInfo(path).fileName(), where);
    return true;
}

Profiles::Profile MainWindow::currentProfile() const {
    Profiles::Station station;
    station.multiChannel = m_ui->rb_NChanel->isChecked();
    for (int unit = 1; unit <= Commands::ControlUnitCount; ++unit) {
        const UnitWidgets widgets = unitWidgets(unit);
        station.units[unit - 1] = {widgets.box->isChecked(), widgets.address->text(), widgets.analog->isChecked()};
    }
    for (int channel = 1; channel <= Commands::ChannelCount; ++channel) {
        Profiles::Channel &record = station.channels[channel - 1];
        for (int cm = 1; cm <= Commands::CmPerChannel; ++cm)
            record.cm[cm - 1] = cmBox(channel, cm)->isChecked();
        record.date = dateField(channel)->text();
        record.code = codeField(channel)->text();
        record.serialNumber = serialNumberField(channel)->text();
    }
    Profiles::Profile profile;
    profile.station = station;
    profile.clock = Profiles::Clock{m_ui->lE_Time->text(), m_ui->lE_Date->text()};
    profile.meter =
        Profiles::Meter{meterType(), m_ui->lE_current_val_el_counter->text(), m_ui->lE_coef_el_counter->text()};
    return profile;
}

// The profile has been checked whole before this runs, so every tab it names is set completely.
void MainWindow::applyProfile(const Profiles::Profile &profile) {
    if (profile.station)
        applyStation(*profile.station);
    if (profile.clock) {
        m_ui->lE_Time->setText(profile.clock->time);
        m_ui->lE_Date->setText(profile.clock->date);
    }
    if (profile.meter)
        applyMeter(*profile.meter);
}

// The tab goes back to the state the program starts in, and then the profile's boxes are clicked through the
// same routines as the operator's clicks, so every enabled state and address label is what those clicks give.
void MainWindow::applyStation(const Profiles::Station &station) {
    (station.multiChannel ? m_ui->rb_NChanel : m_ui->rb_1Chanel)->setChecked(true);
    m_ui->stackedWidget->setCurrentWidget(station.multiChannel ? m_ui->page_2 : m_ui->page);
    applyUnits(station);
    for (int channel = 1; channel <= Commands::ChannelCount; ++channel) {
        const Profiles::Channel &record = station.channels[channel - 1];
        addressLabel(channel)->clear();
        for (int cm = 1; cm <= Commands::CmPerChannel; ++cm) {
            cmBox(channel, cm)->setChecked(false);
            cmBox(channel, cm)->setEnabled(true);
        }
        dateField(channel)->setText(record.date);
        codeField(channel)->setText(record.code);
        serialNumberField(channel)->setText(record.serialNumber);
    }
    // A CM number checked in one channel only, so every box is still enabled when its turn comes.
    for (int channel = 1; channel <= Commands::ChannelCount; ++channel)
        for (int cm = 1; cm <= Commands::CmPerChannel; ++cm)
            if (station.channels[channel - 1].cm[cm - 1])
                clickBox(cmBox(channel, cm), [this, channel, cm](bool v) { applyCmRule(channel, cm, v); });
}

// Any set of check marks is reached by checking the units up to the last one in order, then unchecking the
// ones that stay off from the back: each box is enabled when it is clicked.
void MainWindow::applyUnits(const Profiles::Station &station) {
    int last = 0;
    for (int unit = 1; unit <= Commands::ControlUnitCount; ++unit) {
        const UnitWidgets widgets = unitWidgets(unit);
        const Profiles::Unit &values = station.units[unit - 1];
        widgets.box->setChecked(false);
        widgets.box->setEnabled(unit == 1);
        for (QWidget *field : {static_cast<QWidget *>(widgets.address), static_cast<QWidget *>(widgets.digital),
                               static_cast<QWidget *>(widgets.analog)})
            field->setEnabled(unit == 1);
        widgets.address->setText(values.address);
        (values.analog ? widgets.analog : widgets.digital)->setChecked(true);
        if (values.checked)
            last = unit;
    }
    for (int unit = 1; unit <= last; ++unit)
        clickBox(unitWidgets(unit).box, [this, unit](bool v) { applyUnitCascade(unit, v); });
    for (int unit = last; unit >= 1; --unit)
        if (!station.units[unit - 1].checked)
            clickBox(unitWidgets(unit).box, [this, unit](bool v) { applyUnitCascade(unit, v); });
}

void MainWindow::applyMeter(const Profiles::Meter &meter) {
    QRadioButton *const types[] = {m_ui->rB_Not_El_Counter, m_ui->rB_Imp_el_counter, m_ui->rB_RS485_el_counter};
    types[int(meter.type)]->setChecked(true);
    m_ui->lE_current_val_el_counter->setText(meter.reading);
    m_ui->lE_coef_el_counter->setText(meter.coefficient);
}

// What a click does to a box: the check mark flips, then the box's slot runs with the new state.
void MainWindow::clickBox(QCheckBox *box, const std::function<void(bool)> &slot) {
    box->setChecked(!box->isChecked());
    slot(box->isChecked());
}
