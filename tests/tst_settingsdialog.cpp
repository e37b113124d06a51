#include "app/stylesheet.h"
#include "dialogs/settings_dlg.h"
#include "mainwindow/mainwindow.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/settingstestsupport.h"
#include "support/statusreport.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QTimer>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>

static const QString fileName = QStringLiteral("settings.ini");
static const QStringList defaultLines = {"COM Log", "1",      "COM Port", "",         "BaudRate", "115200",   "Parity",
                                         "none",    "Lenght", "8 bit",    "Stop Bit", "1 bit",    "COM Auto", "true"};

static QStringList withValue(QStringList lines, int index, const QString &value) {
    lines[index] = value;
    return lines;
}

static QByteArray content(const QStringList &lines) {
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toUtf8();
}

// Port entries, the chosen port, "Авто", the four line settings and the port box's tooltip, as one text to compare.
static QString picture(const settings_dlg &dialog) {
    QStringList ports;
    for (int i = 0; i < dialog.cB_COM->count(); ++i)
        ports << dialog.cB_COM->itemText(i);
    return QStringList({ports.join(QLatin1Char('/')), dialog.cB_COM->currentText(),
                        dialog.chB_Auto->isChecked() ? "auto" : "manual", dialog.cB_BaudRate->currentText(),
                        dialog.cB_Lenght->currentText(), dialog.cB_Parity->currentText(),
                        dialog.cB_stop_bit->currentText(), dialog.cB_COM->toolTip()})
        .join(QLatin1Char(','));
}

// Opens the dialog from the menu and runs the step inside the dialog's own event loop.
static void runDialog(MainWindow &window, const std::function<void(settings_dlg *)> &step) {
    QTimer::singleShot(0, [&] { step(qobject_cast<settings_dlg *>(QApplication::activeModalWidget())); });
    window.findChild<QAction *>(QStringLiteral("action_settings"))->trigger();
}

enum Ending { Ok, OkOnUnreadableFile, Escape };

class tst_settingsdialog : public QObject {
    Q_OBJECT

private slots:
    // The worker starts with values that no choice in the dialog produces, so that any write shows.
    void init() {
        m_dir = std::make_unique<ScopedWorkDir>();
        QVERIFY(m_dir->isValid());
        // In the system's order, which the box keeps: all about one adapter, a serial number of another, nothing else.
        setPortDetailsLister([] {
            return QList<PortDetails>{{"ttyUSB0", "USB-Serial Controller", "Prolific", "A5XK3RJT"},
                                      {"ttyACM0", "", "", "7D2F"},
                                      {"ttyS0", "", "", ""}};
        });
        m_worker = std::make_unique<SerialThread>(nullptr);
        serial_thread = m_worker.get();
        m_worker->applyConnectionValues({QStringLiteral("before"), 1, 9, 9, 5, true});
    }

    void cleanup() {
        serial_thread = nullptr;
        m_worker.reset();
        setPortLister(nullptr);
        m_dir.reset();
    }

    void presets_data() {
        QTest::addColumn<QStringList>("file"); // empty: no file at all
        QTest::addColumn<QString>("shown");
        const QStringList stored = {"COM Port", "ttyUSB0", "BaudRate", "9600",  "Parity",   "even",
                                    "Lenght",   "7 bit",   "Stop Bit", "2 bit", "COM Auto", "false"};
        const QString ports = QStringLiteral("/ttyUSB0/ttyACM0/ttyS0");
        const QString automatic = ports + ",,auto,115200,8 bit,none,1 bit,",
                      manual = ports + ",,manual,115200,8 bit,none,1 bit,";
        QTest::newRow("no file") << QStringList() << automatic;
        QTest::newRow("COM Auto false") << withValue(defaultLines, 13, "false") << manual;
        // The entries stay the bare names; the closed box shows the chosen adapter's tooltip.
        QTest::newRow("stored values") << stored
                                       << ports + ",ttyUSB0,manual,9600,7 bit,even,2 bit,USB-Serial Controller\n"
                                                  "Производитель: Prolific\nСерийный номер: A5XK3RJT";
        QTest::newRow("adapter with a serial number alone")
            << withValue(defaultLines, 3, "ttyACM0")
            << ports + ",ttyACM0,auto,115200,8 bit,none,1 bit,Серийный номер: 7D2F";
        // No "COM Auto" either: only "true" checks the box.
        QTest::newRow("values that are no entries")
            << QStringList{"BaudRate", "12345", "Parity", "Even", "Lenght", "8bit", "Stop Bit", "3 bit"} << manual;
        // A file that gave the program nothing at start shows the values the link then runs with.
        QTest::newRow("no known key") << QStringList{"Port", "ttyUSB0", "Baud", "9600"} << automatic;
        // A stored port that is unplugged now keeps its entry, and says so.
        QTest::newRow("port not listed") << withValue(defaultLines, 3, "ttyACM7")
                                         << ports + "/ttyACM7,ttyACM7,auto,115200,8 bit,none,1 bit,"
                                                    "Порт сейчас не найден в системе";
    }

    void presets() {
        QFETCH(QStringList, file);
        if (!file.isEmpty())
            QVERIFY(writeFileBytes(fileName, content(file)));
        settings_dlg dialog;
        QTEST(picture(dialog), "shown");
        // "Авто" switches the port box at once and leaves the port as it was.
        const QString port = dialog.cB_COM->currentText();
        for (int clicks = 0; clicks < 3; ++clicks) {
            QCOMPARE(dialog.cB_COM->isEnabled(), !dialog.chB_Auto->isChecked());
            QCOMPARE(dialog.cB_COM->currentText(), port);
            dialog.chB_Auto->click();
        }
    }

    // Without a list of the test's own, the dialog offers what the system lists, after the empty entry.
    void systemPorts() {
        setPortLister(nullptr);
        QStringList system{QString()};
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            system << info.portName();
        settings_dlg dialog;
        QCOMPARE(picture(dialog).section(QLatin1Char(','), 0, 0), system.join(QLatin1Char('/')));
    }

    void endingTheDialog_data() {
        QTest::addColumn<QStringList>("choice"); // port, "Авто", baud, data bits, parity, stop bits
        QTest::addColumn<int>("ending");
        QTest::addColumn<QString>("codes"); // what the worker gets; empty: it keeps its own
        // The file names an unplugged adapter that the port list lacks; "OK" must keep it.
        QTest::newRow("port not listed, manual")
            << QStringList({"ttyACM7", "false", "4800", "7 bit", "odd", "2 bit"}) << int(Ok) << "4800 7 3 2";
        // The values apply for this run either way. One failure shows the notice's wiring; the file's tests, the rest.
        const QStringList odd{"ttyUSB0", "true", "2400", "7 bit", "odd", "2 bit"};
        QTest::newRow("file that cannot be read") << odd << int(OkOnUnreadableFile) << "2400 7 3 2";
        QTest::newRow("Escape") << odd << int(Escape) << QString();
    }

    // "OK" gives the worker the codes and rewrites the file in key order, keeping what the dialog does not show, and
    // withdraws an earlier notice of a failed save or renews it with the reason. Closed otherwise, it changes nothing.
    void endingTheDialog() {
        QFETCH(QStringList, choice);
        QFETCH(int, ending);
        QFETCH(QString, codes);
        if (ending == OkOnUnreadableFile && !modesApply())
            QSKIP("file modes do not stop this process from reading");
        const QStringList extra = {"Zeta key", "z value", "Alpha", "a value", "COM Log", "0"};
        const QByteArray before = content(withValue(defaultLines, 3, "ttyACM7") + extra);
        QVERIFY(writeFileBytes(fileName, before) && setMode(fileName, ending == OkOnUnreadableFile ? 0200 : 0666));
        QVERIFY(setMode(m_dir->path(), 0777));

        MainWindow window;
        const QString notSaved = QStringLiteral("Настройки не сохранены, действуют до выхода");
        window.showNotice(notSaved, QStringLiteral("an earlier save"));
        {
            const auto access = fileAccessAs(ending == OkOnUnreadableFile ? nobody : uid_t(-1));
            runDialog(window, [&](settings_dlg *dialog) {
                dialog->chB_Auto->setChecked(choice[1] == QLatin1String("true"));
                dialog->cB_COM->setCurrentText(choice[0]);
                dialog->cB_BaudRate->setCurrentText(choice[2]);
                dialog->cB_Lenght->setCurrentText(choice[3]);
                dialog->cB_Parity->setCurrentText(choice[4]);
                dialog->cB_stop_bit->setCurrentText(choice[5]);
                if (ending == Escape)
                    QTest::keyClick(dialog, Qt::Key_Escape);
                else
                    QTest::mouseClick(dialog->pB_OK, Qt::LeftButton);
            });
        }
        const QStringList untouched{"before", "true", "1", "5", "9", "9"};
        const SerialThread &worker = *m_worker;
        QStringList values = {worker.com_port, worker.com_auto ? "true" : "false"};
        for (int code : {worker.baud, int(worker.lenght), int(worker.parity), int(worker.stopbit)})
            values << QString::number(code);
        QCOMPARE(values, codes.isEmpty() ? untouched : choice.mid(0, 2) + codes.split(QLatin1Char(' ')));
        QLabel *notice = noticeOf(window);
        QCOMPARE(notice->text(), ending == Ok ? QString() : notSaved);
        // Its pairs could not be read, so writing the dialog's six would lose them.
        if (ending == OkOnUnreadableFile)
            QCOMPARE(notice->toolTip(), QDir(m_dir->path()).filePath(fileName) + ": нет прав доступа (" +
                                            QString::fromLocal8Bit(strerror(EACCES)) +
                                            ") — прочитать не удалось, файл оставлен как есть");
        QCOMPARE(readFileBytes(fileName),
                 ending != Ok ? before
                              : content({"Alpha", "a value", "BaudRate", choice[2], "COM Auto", choice[1], "COM Log",
                                         "0", "COM Port", choice[0], "Lenght", choice[3], "Parity", choice[4],
                                         "Stop Bit", choice[5], "Zeta key", "z value"}));
    }

    // The port box is as wide as the name it shows in the style sheet's font at 192 dpi, where text is twice as wide.
    void portBoxShowsWholeNames() {
        const QString name = QStringLiteral("/dev/ttyUSB0");
        qApp->setStyleSheet(readStyleSheet(QStringLiteral(":/style/app.qss")) +
                            QStringLiteral("* { font: 24pt \"Times New Roman\"; }"));
        const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        setPortDetailsLister([name] { return QList<PortDetails>{{name, "", "", ""}}; });
        QVERIFY(writeFileBytes(fileName, content(withValue(withValue(defaultLines, 3, name), 13, "false"))));
        settings_dlg dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.cB_COM->currentText(), name);
        // QLineEdit keeps two pixels of its own at each side of the text.
        QLineEdit *edit = dialog.cB_COM->lineEdit();
        QVERIFY(edit->contentsRect().width() - 4 >= edit->fontMetrics().horizontalAdvance(name));
    }

    // With "Авто" off, "OK" without a port stays in the dialog and says why, in the dialog itself; choosing a port or
    // "Авто" answers it. A port the system does not list (a by-id name, a pseudo-terminal) is stored as typed.
    void okWithoutPortIsRefused() {
        MainWindow window;
        const QString typed = QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QStringList seen;
        runDialog(window, [&](settings_dlg *dialog) {
            seen << (dialog->lb_PortHint->isVisible() ? "hint at start" : "no hint at start");
            dialog->chB_Auto->setChecked(false);
            dialog->cB_COM->setCurrentIndex(0);
            QTest::mouseClick(dialog->pB_OK, Qt::LeftButton);
            seen << (dialog->isVisible() ? "open" : "closed")
                 << (QApplication::activeModalWidget() == dialog ? "no other window" : "another window")
                 << (dialog->lb_PortHint->isVisible() ? dialog->lb_PortHint->text() : "no hint")
                 << (dialog->focusWidget() == dialog->cB_COM || dialog->focusWidget() == dialog->cB_COM->lineEdit()
                         ? "port has the focus"
                         : "focus elsewhere");
            QTest::keyClicks(dialog->cB_COM, "C");
            seen << (dialog->lb_PortHint->isVisible() ? "hint stays" : "hint gone");
            dialog->cB_COM->setEditText(QString());
            QTest::mouseClick(dialog->pB_OK, Qt::LeftButton);
            dialog->chB_Auto->setChecked(true);
            seen << (dialog->lb_PortHint->isVisible() ? "hint stays" : "hint gone");
            dialog->chB_Auto->setChecked(false);
            QTest::keyClicks(dialog->cB_COM, " " + typed);
            QTest::mouseClick(dialog->pB_OK, Qt::LeftButton);
            if (dialog->isVisible()) // refused after all: the checks below tell, rather than a dialog left waiting
                dialog->reject();
        });
        QCOMPARE(seen, (QStringList{"no hint at start", "open", "no other window",
                                    "Выберите или впишите порт либо включите «Авто»", "port has the focus", "hint gone",
                                    "hint gone"}));
        QCOMPARE(m_worker->com_port, typed);
        QVERIFY(readFileBytes(fileName).contains("COM Port\r\n" + typed.toLatin1() + "\r\n"));
    }

private:
    std::unique_ptr<ScopedWorkDir> m_dir;
    std::unique_ptr<SerialThread> m_worker;
};

QTEST_MAIN(tst_settingsdialog)
#include "tst_settingsdialog.moc"
