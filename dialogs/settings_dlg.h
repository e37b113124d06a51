#ifndef SETTINGS_DLG_H
#define SETTINGS_DLG_H

#include "ui_settings_dlg.h"
#include "workfiles/settingsfile.h"

#include <QDialog>

class settings_dlg : public QDialog, public Ui::settings_dlg {
    Q_OBJECT

public:
    explicit settings_dlg(QWidget *parent = nullptr);

    // Puts the six values, as the widgets show them, into the map under their keys; every other entry stays.
    void storeChoice(SettingsMap &map) const;

public slots:
    // With "Авто" off the port is the only one tried: "OK" without one stays in the dialog and says what is missing.
    void accept() override;

private slots:
    void on_chB_Auto_toggled(bool checked);

private:
    void fillPorts();
    void fillLineSettings();
    void applySettings(const SettingsMap &map);
    void selectPort(const QString &name);
    QString chosenPort() const;
    void showPortHint(bool shown);
};

#endif // SETTINGS_DLG_H
