#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "protocol/commands.h"
#include "protocol/profile.h"

#include <QDateTime>
#include <QMainWindow>

#include <functional>

class BusyIndicator;
class HistoryPanel;
class QAction;
class QDockWidget;
class TransmissionJournal;
class ManualOpener;
class QCheckBox;
class QIntValidator;
class QLabel;
class QLineEdit;
class QRadioButton;
class SerialThread;
class StatusLine;

namespace Ui {
class MainWindow;
}

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    using Clock = std::function<QDateTime()>;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The workstation clock that "Текущее время и дата" copies; tests put a clock of their own here.
    void setClock(Clock clock);

    // Every value of the three tabs.
    Profiles::Profile currentProfile() const;
    // A profile with any problem changes nothing on screen; the notice says which line and why.
    bool openProfile(const QString &path);
    bool saveProfile(const QString &path);

    // Joins the window and the link worker: commands, reports, the transmission history and the busy indicator,
    // whose "Отмена" stops the worker.
    void attachLink(SerialThread *worker);

signals:
    void signal_quit();
    void signal_data_send(QByteArray);
    void signal_write_to_log_file(QString);

public slots:
    void slot_port_opend(QString name, int baud, int lenght, quint8 parity, int stopbit, QString xof);
    void slot_port_notopend(QString name);
    void slot_show_message(QString message);
    void slot_openPDF();

    // A notice that is not a link report (a file that could not be saved, logging that stopped, no port found):
    // a short text at the right of the status bar with the path and the system's reason in its tooltip. It
    // replaces no report, gives way to it when both do not fit, and is not logged; an empty text clears it.
    void showNotice(const QString &text, const QString &details = QString());
    // Clears the notice once what it said no longer holds, unless another notice has taken its place.
    void withdrawNotice(const QString &text);
    // The automatic search listed no serial port: said in the report, so that no earlier success stays in view, and
    // in the notice, which stays until a port opens.
    void slot_no_port_found();

protected:
    // Menus and actions send status tips, empty ones mostly; the status bar keeps the last report instead.
    bool event(QEvent *event) override;

private slots:
    void on_rb_1Chanel_clicked(bool checked);
    void on_rb_NChanel_clicked(bool checked);
    void on_chB_1_clicked(bool checked);
    void on_chB_2_clicked(bool checked);
    void on_chB_3_clicked(bool checked);
    void on_chB_4_clicked(bool checked);
    void on_chB_5_clicked(bool checked);
    void on_chB_6_clicked(bool checked);
    void on_chB_7_clicked(bool checked);
    void on_chB_8_clicked(bool checked);
    void on_pB_Send_1_clicked();
    void on_chB_Chanel1_CM_1_clicked(bool checked);
    void on_chB_Chanel1_CM_2_clicked(bool checked);
    void on_chB_Chanel1_CM_3_clicked(bool checked);
    void on_chB_Chanel1_CM_4_clicked(bool checked);
    void on_chB_Chanel2_CM_1_clicked(bool checked);
    void on_chB_Chanel2_CM_2_clicked(bool checked);
    void on_chB_Chanel2_CM_3_clicked(bool checked);
    void on_chB_Chanel2_CM_4_clicked(bool checked);
    void on_chB_Chanel3_CM_1_clicked(bool checked);
    void on_chB_Chanel3_CM_2_clicked(bool checked);
    void on_chB_Chanel3_CM_3_clicked(bool checked);
    void on_chB_Chanel3_CM_4_clicked(bool checked);
    void on_chB_Chanel4_CM_1_clicked(bool checked);
    void on_chB_Chanel4_CM_2_clicked(bool checked);
    void on_chB_Chanel4_CM_3_clicked(bool checked);
    void on_chB_Chanel4_CM_4_clicked(bool checked);
    void on_pB_Send_2_clicked();
    void on_pB_Current_DateTime_clicked();
    void on_pB_Send_Clock_clicked();
    void on_pB_Send_3_clicked();
    void slot_settings_con_dlg();
    void slot_about_dialog();
    void slot_open_profile();
    void slot_save_profile();

private:
    // The widgets of one control unit on the single-channel page.
    struct UnitWidgets {
        QCheckBox *box;
        QLineEdit *address;
        QRadioButton *digital;
        QRadioButton *analog;
    };

    void fitToScreen();
    void applyUnitCascade(int unit, bool checked);
    void applyCmRule(int channel, int cm, bool checked);
    UnitWidgets unitWidgets(int unit) const;
    QCheckBox *cmBox(int channel, int cm) const;
    QLabel *addressLabel(int channel) const;
    QLineEdit *dateField(int channel) const;
    QLineEdit *codeField(int channel) const;
    QLineEdit *serialNumberField(int channel) const;
    Commands::ControlUnits controlUnits() const;
    Commands::Channels channels() const;
    Commands::MeterType meterType() const;
    QString lowestCmText(int channel, int clickedCm, bool clickedChecked) const;
    void showStatus(const QString &text);
    QLineEdit *refusedField(const QString &name) const;
    // `letter` names the command for the history when a value keeps it from going out.
    void sendCommand(const Commands::Encoded &command, char letter);
    void setUpHistory();
    void showHistory(bool shown);
    void buildHistory();
    void applyProfile(const Profiles::Profile &profile);
    void applyStation(const Profiles::Station &station);
    void applyUnits(const Profiles::Station &station);
    void applyMeter(const Profiles::Meter &meter);
    void clickBox(QCheckBox *box, const std::function<void(bool)> &slot);
    void setUpComforts();
    void sendCurrentTab();
    void sendClockNow();
    void linkBusyChanged(int unfinished);
    void showProfileInTitle(const QString &path);
    void fieldEdited();

    Ui::MainWindow *m_ui = nullptr;
    StatusLine *m_status = nullptr;
    ManualOpener *m_manualOpener = nullptr;
    QIntValidator *m_addressValidator = nullptr;
    Clock m_clock = &QDateTime::currentDateTime;
    QString m_profileFolder;
    // The history's panel is built when it is first opened; the journal records from the start.
    QAction *m_historyAction = nullptr;
    QDockWidget *m_historyDock = nullptr;
    HistoryPanel *m_history = nullptr;
    TransmissionJournal *m_journal = nullptr;
    BusyIndicator *m_busy = nullptr;
    // The profile last opened or saved, as the tabs showed it then; the title marks any difference.
    QString m_profileName;
    Profiles::Profile m_profileShown;
    // Commands that the link has not finished; the workstation's clock waits for them to go out first.
    int m_unfinished = 0;
    bool m_clockDue = false;
};

#endif // MAINWINDOW_H
