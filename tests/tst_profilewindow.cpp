#include "mainwindow/mainwindow.h"
#include "support/everyfieldprofile.h"
#include "support/operatorclick.h"
#include "support/savedialog.h"
#include "support/settingstestsupport.h"
#include "support/statusreport.h"
#include "workfiles/profilefile.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QtTest>

#include <memory>

#include <sys/stat.h>

namespace {

// Every value and every enabled state of the three tabs, and the commands the three buttons send.
QString picture(MainWindow &window) {
    QStringList parts;
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        const QString name = widget->objectName();
        if (!QRegularExpression("^(chB|lE|rB|rb|lb_Adr)_").match(name).hasMatch())
            continue;
        QString part = name + (widget->isEnabled() ? '+' : '-');
        if (auto *button = qobject_cast<QAbstractButton *>(widget))
            part += button->isChecked() ? 'X' : 'o';
        if (auto *edit = qobject_cast<QLineEdit *>(widget))
            part += '=' + edit->text();
        if (auto *label = qobject_cast<QLabel *>(widget))
            part += '[' + label->text() + ']';
        parts << part;
    }
    parts.sort();
    parts << "page " + window.findChild<QStackedWidget *>("stackedWidget")->currentWidget()->objectName();
    for (const char *button : {"pB_Send_1", "pB_Send_2", "pB_Send_3"}) {
        QSignalSpy sent(&window, &MainWindow::signal_data_send);
        window.findChild<QAbstractButton *>(button)->click();
        parts
            << QStringLiteral("%1 sends %2").arg(button, sent.isEmpty() ? "nothing" : sent[0][0].toByteArray().toHex());
    }
    return parts.join('\n');
}

// A step clicks a button as the operator would, or types "name=text" into a field; the steps stand apart by blanks.
void perform(MainWindow &window, const QString &steps) {
    for (const QString &step : steps.split(' ', Qt::SkipEmptyParts)) {
        const int equals = step.indexOf('=');
        if (equals > 0) {
            QLineEdit *edit = window.findChild<QLineEdit *>(step.left(equals));
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            edit->home(false);
            QTest::keyClicks(edit, step.mid(equals + 1));
            continue;
        }
        QWidget *widget = window.findChild<QWidget *>(step);
        QVERIFY2(widget && widget->isEnabled(), qPrintable(step));
        operatorClick(widget);
    }
}

// A window that shows something else everywhere, so that a profile must set every part of it.
const QString dirtySteps =
    "chB_1 chB_2 chB_3 chB_4 chB_5 chB_6 chB_7 chB_8 lE_1=7 rB_anl_2 rb_NChanel chB_Chanel1_CM_1 "
    "chB_Chanel1_CM_2 chB_Chanel1_CM_3 chB_Chanel1_CM_4 lE_Kod_Ch_2=q lE_Nom_Ch_3=5 "
    "lE_Time=11:11:11 rB_RS485_el_counter";

} // namespace

class tst_profilewindow : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<ScopedWorkDir>();
        QVERIFY(m_dir->isValid());
        m_window = std::make_unique<MainWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() {
        m_window.reset();
        m_dir.reset(); // before the next case's folder, whose guard would otherwise restore this one
    }
    void opensOverAnotherWindow_data() {
        QTest::addColumn<QString>("clicks");      // that made the profile, saved from a window of their own
        QTest::addColumn<QByteArray>("content");  // or the profile's text
        QTest::addColumn<QStringList>("changes"); // pairs: a line of the other window's picture before, that line after
        QTest::addColumn<QString>("notice");
        const QString opened = QStringLiteral("Профиль открыт: station.ini");
        const auto saved = [&opened](const char *name, const QString &clicks) {
            QTest::newRow(name) << clicks << QByteArray() << QStringList() << opened;
        };
        saved("start", QString());
        saved("unit 3 on 4-20 мА, typed address", "chB_1 chB_2 chB_3 rB_anl_3 lE_3=42 lE_2=");
        saved("every channel, lower CM later",
              "rb_NChanel chB_Chanel4_CM_4 chB_Chanel4_CM_2 chB_Chanel1_CM_3 "
              "chB_Chanel2_CM_1 lE_Date_Ch_3=15/06/2016 lE_Kod_Ch_1=z lE_Nom_Ch_4=99999");
        saved("time and pulse meter", "lE_Time=23:59:59 lE_Date=31/12/2099 rB_Imp_el_counter "
                                      "lE_current_val_el_counter=1234567.8 lE_coef_el_counter=50");
        QTest::newRow("a tab left out stays as it is")
            << QString() << QByteArray("version=1\n[time]\ntime=01:02:03\n")
            << QStringList{"lE_Time+=11:11:11", "lE_Time+=01:02:03", "pB_Send_2 sends 434d44790b0b0b",
                           "pB_Send_2 sends 434d4479010203"}
            << opened;
        // The station section is good and comes first: a window that applied as it read would have changed it.
        QTest::newRow("bad meter after a good station")
            << QString()
            << QByteArray("version=1\n[station]\ntype=multi\nchannel2.cm=1,2\nchannel3.code=Q\n"
                          "[meter]\ntype=pulse\nreading=12a4.5\n")
            << QStringList() << "Профиль не открыт: строка 8: reading — «12a4»: допустимы только цифры 0–9";
    }

    // A profile opened in a window that shows something else everywhere changes exactly what it says. Saved from
    // another window, it gives the same tabs: the same values, enabled states, address labels and commands as the
    // clicks that made it. One that cannot be read changes nothing.
    void opensOverAnotherWindow() {
        QFETCH(QString, clicks);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, changes);
        QFETCH(QString, notice);
        perform(*m_window, clicks);
        if (content.isEmpty()) {
            QVERIFY(m_window->saveProfile("station.ini"));
            QCOMPARE(noticeOf(*m_window)->text(), QStringLiteral("Профиль сохранён: station.ini"));
        }
        QVERIFY(content.isEmpty() || writeFileBytes("station.ini", content));
        MainWindow other;
        other.show();
        perform(other, dirtySteps);
        QString expected = picture(content.isEmpty() ? *m_window : other);
        for (int i = 0; i + 1 < changes.size(); i += 2) {
            QVERIFY2(expected.contains(changes[i]), qPrintable(changes[i]));
            expected.replace(changes[i], changes[i + 1]);
        }
        QCOMPARE(other.openProfile("station.ini"), notice.startsWith(QStringLiteral("Профиль открыт")));
        QCOMPARE(noticeOf(other)->text(), notice);
        QCOMPARE(picture(other), expected);
    }

    // Every field of a profile that sets them all reaches its widget and comes back, and the window sends the
    // commands the command-line sender would send for it.
    void everyFieldComesBack() {
        const Profiles::Profile every = everyFieldSet();
        QVERIFY(writeFileBytes("every.ini", Profiles::writeProfile(every)) && m_window->openProfile("every.ini"));
        QVERIFY(noticeOf(*m_window)->toolTip().endsWith(QStringLiteral("\nВкладки: «СКЗ», «Время», «Эл. счетчик»")));
        QCOMPARE(QString(Profiles::writeProfile(m_window->currentProfile())), QString(Profiles::writeProfile(every)));
        QCOMPARE(picture(*m_window).section('\n', -3),
                 QStringLiteral("pB_Send_1 sends %1\npB_Send_2 sends %2\npB_Send_3 sends %3")
                     .arg(Profiles::stationCommand(*every.station).bytes.toHex(),
                          Profiles::clockCommand(*every.clock).bytes.toHex(),
                          Profiles::meterCommand(*every.meter).bytes.toHex()));
        // The title marks a window that no longer shows the profile, and the mark goes when a change is taken back.
        QString marks = m_window->isWindowModified() ? "*" : "-";
        for (const char *step :
             {"lE_Date_Ch_1=01/01/2001", "lE_Date_Ch_1=11/02/2030", "chB_Chanel1_CM_3", "chB_Chanel1_CM_3"}) {
            perform(*m_window, step);
            marks += m_window->isWindowModified() ? '*' : '-';
        }
        QCOMPARE(marks, QStringLiteral("-*-*-"));
    }

    // A name typed without an extension is saved as a profile, with ".ini" added. Saving onto a link replaces neither
    // the link nor what it points to, and the notice says why nothing was saved.
    void savedFromTheMenuAsIni() {
        QCOMPARE(::mkfifo("pipe", 0644), 0);
        QVERIFY(QFile::link("pipe", "station.ini"));
        QString asked;
        answerSaveDialog(QDir(m_dir->path()).filePath("station"), &asked);
        m_window->findChild<QAction *>("action_save_profile")->trigger();
        QVERIFY2(asked.contains("station.ini"), qPrintable(asked)); // the dialog asks before the file is replaced
        QCOMPARE(noticeOf(*m_window)->text(),
                 QStringLiteral("Профиль не сохранён: это символическая ссылка, программа не пишет через ссылки"));
        QVERIFY(!m_window->saveProfile("station.ini") && QFileInfo("station.ini").isSymLink());
        QVERIFY(!QFileInfo("pipe").isFile() && QFileInfo::exists("pipe"));
    }

private:
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ScopedWorkDir> m_dir;
};

QTEST_MAIN(tst_profilewindow)
#include "tst_profilewindow.moc"
