#include "mainwindow/fieldmark.h"
#include "mainwindow/mainwindow.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"
#include "support/operatorclick.h"
#include "support/statusreport.h"

#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <utility>

namespace {

// The station tab is read back as pictures, so that every widget is compared after every scenario. A box
// is 'X' checked, 'o' unchecked, '#' checked but disabled, '.' unchecked and disabled. A unit is its box,
// then '+' or '-' for its address field and its two mode buttons being enabled; a channel is its four
// CM boxes, then its address label in brackets.
const QString StartUnits = "o+++ .--- .--- .--- .--- .--- .--- .---";
const QString StartChannels = "oooo[] oooo[] oooo[] oooo[]";

QChar boxCode(const QCheckBox *box) {
    return QLatin1Char(box->isEnabled() ? (box->isChecked() ? 'X' : 'o') : (box->isChecked() ? '#' : '.'));
}

// Clicks on the unit boxes, such as "1 2 3"; other words are the names of what is clicked.
void unitRow(const char *name, const QString &clicks, const QString &picture, const QString &channels = StartChannels) {
    QStringList steps;
    for (const QString &click : clicks.split(' ', Qt::SkipEmptyParts))
        steps << (click.size() == 1 ? "chB_" + click : click);
    QTest::newRow(name) << steps << picture << channels
                        << (steps.lastIndexOf("rb_NChanel") > steps.lastIndexOf("rb_1Chanel"));
}

// Clicks on the multi-channel page, channel and CM number as in "21 23" for СМ1 and СМ3 of channel 2.
void cmRow(const QString &name, const QString &cms, const QString &picture) {
    QStringList clicks{"rb_NChanel"};
    for (const QString &cm : cms.split(' '))
        clicks << QStringLiteral("chB_Chanel%1_CM_%2").arg(cm.at(0)).arg(cm.at(1));
    QTest::newRow(qPrintable(name)) << clicks << StartUnits << picture << true;
}

void typeRow(const char *name, const QStringList &steps, const QString &text) { QTest::newRow(name) << steps << text; }

void sendRow(const char *name, const QStringList &steps, const char *button, const char *hex) {
    QTest::newRow(name) << steps << QString(button) << QString::fromLatin1(QByteArray::fromHex(hex).toHex(' '));
}

} // namespace

// The main window as the operator first sees it and as it answers clicks, typing, pasting and the send buttons.
// The program runs as on a workstation whose system locale writes Arabic-Indic digits (see main()).
class tst_form : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QCOMPARE(QLocale::system().zeroDigit(), QChar(0x0660));
        QCOMPARE(QLocale().zeroDigit(), QChar(0x0660));
    }

    void init() {
        m_window = std::make_unique<MainWindow>();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }
    void cleanup() { m_window.reset(); }

    void startsOnFirstTabAndPageAndClosesWithZero() {
        QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 0);
        QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget(), child<QWidget>("page"));
        QVERIFY(child<QScrollArea>("scrollArea")->sizeHint().height() >= // room for the taller page
                qMax(child<QWidget>("page")->minimumSizeHint().height(),
                     child<QWidget>("page_2")->minimumSizeHint().height()));
        QTimer::singleShot(0, m_window.get(), &QWidget::close);
        QCOMPARE(QApplication::exec(), 0);
    }

    // Whole numbers 1 to 250 are acceptable addresses; 0 and 251 are not, and a fourth digit does not go in.
    void addressRange() {
        QLineEdit *edit = child<QLineEdit>("lE_1");
        QStringList seen;
        for (const char *text : {"1", "250", "0", "251", "1000"}) {
            perform(QStringLiteral("lE_1=") + text);
            seen << edit->text() + (edit->hasAcceptableInput() ? '+' : '-');
        }
        QCOMPARE(seen.join(' '), QStringLiteral("1+ 250+ 0- 251- 100+"));
    }

    void stationTab_data() {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("units");
        QTest::addColumn<QString>("channels");
        QTest::addColumn<bool>("multi"); // the multi-channel page is shown
        unitRow("start", "", StartUnits);
        unitRow("БУ1 enables chB_2 only", "1", "X+++ o--- .--- .--- .--- .--- .--- .---");
        unitRow("БУ1..БУ5, БУ2 off", "1 2 3 4 5 2", "X+++ o--- #--- #--- #--- .--- .--- .---");
        unitRow("БУ1..БУ5, БУ2 off, on", "1 2 3 4 5 2 2", "X+++ X+++ X+++ X+++ X+++ o--- .--- .---");
        // The walk stops at the first unchecked box, so a checked unit behind it stays as it was.
        unitRow("БУ1..БУ4, БУ3 off, БУ1 off", "1 2 3 4 3 1", "o-++ #--- .--- #--- .--- .--- .--- .---");
        unitRow("all eight, БУ1 off", "1 2 3 4 5 6 7 8 1", "o-++ #--- #--- #--- #--- #--- #--- #---");
        // Switching pages hides one page and keeps everything on both.
        unitRow("pages switched to and fro", "1 2 3 2 rb_NChanel chB_Chanel2_CM_3 rb_1Chanel rb_NChanel",
                "X+++ o--- #--- .--- .--- .--- .--- .---", "oo.o[] ooXo[3] oo.o[] oo.o[]");
        unitRow("and back to the units", "1 2 3 2 rb_NChanel chB_Chanel2_CM_3 rb_1Chanel 2",
                "X+++ X+++ X+++ o--- .--- .--- .--- .---", "oo.o[] ooXo[3] oo.o[] oo.o[]");
        cmRow("and off again", "11 11", "oooo[ ] oooo[] oooo[] oooo[]");
        cmRow("channel 2 СМ2, СМ3", "22 23", "o..o[] oXXo[2] o..o[] o..o[]");
        cmRow("then СМ2 off", "22 23 22", "oo.o[] ooXo[3] oo.o[] oo.o[]");
        cmRow("lower one checked later", "44 41", ".oo.[] .oo.[] .oo.[] XooX[1]");
        cmRow("every box once, 1 of 4: a number a channel", "11 22 33 44", "X...[1] .X..[2] ..X.[3] ...X[4]");
        cmRow("every box once, 2 of 4: a number a channel", "12 23 34 41", ".X..[2] ..X.[3] ...X[4] X...[1]");
        cmRow("every box once, 3 of 4: a number a channel", "13 24 31 42", "..X.[3] ...X[4] X...[1] .X..[2]");
        cmRow("every box once, 4 of 4: a number a channel", "14 21 32 43", "...X[4] X...[1] .X..[2] ..X.[3]");
    }

    void stationTab() {
        QFETCH(QStringList, clicks);
        QFETCH(bool, multi);
        perform(clicks);
        QStringList units, channels;
        for (int unit = 1; unit <= 8; ++unit) {
            QString token = boxCode(child<QCheckBox>(QStringLiteral("chB_%1").arg(unit)));
            for (const char *prefix : {"lE_", "rB_dig_", "rB_anl_"})
                token += child<QWidget>(prefix + QString::number(unit))->isEnabled() ? '+' : '-';
            units << token;
        }
        for (int channel = 1; channel <= 4; ++channel) {
            QString token;
            for (int cm = 1; cm <= 4; ++cm)
                token += boxCode(child<QCheckBox>(QStringLiteral("chB_Chanel%1_CM_%2").arg(channel).arg(cm)));
            channels << token + '[' + child<QLabel>(QStringLiteral("lb_Adr_Chanel_%1").arg(channel))->text() + ']';
        }
        QTEST(units.join(' '), "units");
        QTEST(channels.join(' '), "channels");
        QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget(), child<QWidget>(multi ? "page_2" : "page"));
    }

    // In a window too low for one station page and high enough for the other, only the taller page scrolls.
    void onlyTheTallPageScrolls() {
        auto *area = child<QScrollArea>("scrollArea");
        const int single = child<QWidget>("page")->minimumSizeHint().height();
        const int multi = child<QWidget>("page_2")->minimumSizeHint().height();
        m_window->resize(m_window->width(), m_window->height() - area->viewport()->height() + (single + multi) / 2);
        QStringList scrolls;
        for (const char *click : {"rb_1Chanel", "rb_NChanel", "rb_1Chanel"}) {
            perform(click);
            QApplication::processEvents();
            scrolls << QString::number(area->verticalScrollBar()->maximum() > 0);
        }
        QCOMPARE(scrolls.join(' '), single > multi ? "1 0 1" : "0 1 0");
    }

    void typing_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("text"); // of the field of the last step
        const QStringList meter{"#2", "rB_Imp_el_counter"};
        typeRow("code: Cyrillic А", {"lE_Kod_Ch_1=А"}, "");
        typeRow("code: Latin b", {"lE_Kod_Ch_1=b"}, "b");
        typeRow("serial: each digit on its own", {"lE_Nom_Ch_3=1١2٣3"}, "123");
        typeRow("serial: ASCII pasted", {"lE_Nom_Ch_4+=987"}, "987");
        typeRow("time: Arabic-Indic, then ASCII", {"#1", "lE_Time=١2٢3"}, "23::");
        typeRow("meter constant: full-width", meter + QStringList{"lE_coef_el_counter=３２"}, "");
        // Only a pulse meter's fields take keys; without one they keep what they hold.
        typeRow("meter reading: pulse, then none",
                meter + QStringList{"rB_Not_El_Counter", "lE_current_val_el_counter=1"}, "0000000.0");
        typeRow("meter constant: pulse, then RS485", meter + QStringList{"rB_RS485_el_counter", "lE_coef_el_counter=1"},
                "3200");
        typeRow("address: Arabic-Indic", {"lE_1=١٢٣"}, "");
        typeRow("address: sign and group separator", {"lE_1=+1,5"}, "15");
        // Three digits above 250 stand; the command refuses what its byte cannot carry.
        typeRow("address: 300 stands", {"chB_1", "chB_2", "lE_2=300"}, "300");
    }

    // Refused characters are refused one by one as they come, the way a mask refuses a digit in a letter position;
    // the same keys with ASCII text go in, so the refusal is not the field ignoring keys.
    void typing() {
        QFETCH(QStringList, steps);
        perform(steps);
        QTEST(child<QLineEdit>(steps.last().section('=', 0, 0).remove('+'))->text(), "text");
    }

    void sendsOneCommand_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("expected");
        // One row per page and button: which values go out is the encoders' business; refusals are marked below.
        sendRow("units 1-3, unit 2 analog", {"chB_1", "chB_2", "chB_3", "rB_anl_2"}, "pB_Send_1",
                "434D4477 03 6F7071 00000002");
        sendRow("unit 3 checked but disabled", {"chB_1", "chB_2", "chB_3", "rB_anl_3", "chB_2"}, "pB_Send_1",
                "434D4477 01 6F 00000000");
        // Each address field takes digits only, three at most: "1N0x5" goes in as "1N0".
        QStringList units;
        for (int unit = 1; unit <= 8; ++unit) {
            units << QStringLiteral("chB_%1").arg(unit) << QStringLiteral("lE_%1=1%1").arg(unit) + "0x5";
            if (unit % 2)
                units << QStringLiteral("rB_anl_%1").arg(unit);
        }
        sendRow("all eight typed, odd ones analog", units, "pB_Send_1", "434D4477 08 6E78828C96A0AAB4 00000055");
        QStringList channels{"rb_NChanel", "chB_Chanel1_CM_1", "chB_Chanel1_CM_3", "chB_Chanel2_CM_2",
                             "chB_Chanel4_CM_4"};
        for (int k = 1; k <= 4; ++k)
            channels << QStringLiteral("lE_Date_Ch_%1=0%1/0%2/201%1").arg(k).arg(k + 1)
                     << QStringLiteral("lE_Kod_Ch_%1=%2").arg(k).arg(QChar('A' + k))
                     << QStringLiteral("lE_Nom_Ch_%1=9999%1").arg(k);
        sendRow("every field of every channel", channels, "pB_Send_1",
                "434D4478 01 02 01 02 0B 42 00 01 86 97 30 00  02 01 02 03 0C 43 00 01 86 98 00 00"
                "         00 00 03 04 0D 44 00 01 86 99 00 00  04 01 04 05 0E 45 00 01 86 9A 00 00");
        // The masks put in the separators and the decimal point.
        sendRow("time and date", {"#1", "lE_Time=235959", "lE_Date=31122099"}, "pB_Send_2", "434D4479 173B3B 1F0C63");
        // One reading of the clock, in ASCII digits: a second reading would already be in 2027.
        sendRow("clock", {"#1", "clock"}, "pB_Send_2", "434D4479 173B3B 1F0C1A");
        sendRow("no meter", {"#2"}, "pB_Send_3", "434D447A 00 00000000 0000");
        sendRow("pulse meter",
                {"#2", "rB_Imp_el_counter", "lE_current_val_el_counter=12345678", "lE_coef_el_counter=99990"},
                "pB_Send_3", "434D447A 01 00BC614E 270F");
        sendRow("RS485", {"#2", "rB_RS485_el_counter"}, "pB_Send_3", "434D447A 02 00000000 0000");
    }

    void sendsOneCommand() {
        QFETCH(QStringList, steps);
        QFETCH(QString, button);
        perform(steps);
        QTEST(press(button), "expected");
        // The widgets keep their values, so a second press sends the same command.
        QTEST(press(button), "expected");
    }

    // Every field that can keep its command back is found by the name its refusal gives: it takes the keyboard, comes
    // into view on a page that scrolls, and wears a red frame with the report as its tooltip until its text changes;
    // the history names the refused command. Each field of every tab in turn, with all units on and a pulse meter, on
    // both pages of the station tab.
    void everyRefusedFieldIsFound() {
        SerialThread worker; // no port: a command that goes out ends at once
        worker.com_auto = false;
        m_window->attachLink(&worker);
        const auto *journal = m_window->findChild<TransmissionJournal *>();
        QApplication::setActiveWindow(m_window.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        perform({"chB_1", "chB_2", "chB_3", "chB_4", "chB_5", "chB_6", "chB_7", "chB_8", "rB_Imp_el_counter"});
        auto *tabs = child<QTabWidget>("tabWidget");
        const QStringList commands{"w одноканальная", "x многоканальная", "y время и дата", "z электросчетчик"};
        QStringList lost, neverRefused;
        for (QLineEdit *edit : m_window->findChildren<QLineEdit *>(QRegularExpression("^lE_"))) {
            int tab = 0;
            while (tab < tabs->count() && !tabs->widget(tab)->isAncestorOf(edit))
                ++tab;
            tabs->setCurrentIndex(tab);
            // The left edge at half height: the frame, whatever the field holds.
            const auto frame = [edit] { return edit->grab().toImage().pixelColor(0, edit->height() / 2); };
            bool refused = false;
            for (const char *page : {"rb_1Chanel", "rb_NChanel"})
                for (const char *wrong : {"Ж", "99:99:99", "99/99/9999"}) {
                    child<QAbstractButton>(page)->click();
                    const QString was = edit->text();
                    edit->setFocus();
                    const QColor plain = frame();
                    edit->setText(wrong);
                    // A value its field does not accept may disable the button instead.
                    auto *button = child<QAbstractButton>(QStringLiteral("pB_Send_%1").arg(tab + 1));
                    QSignalSpy sent(m_window.get(), &MainWindow::signal_data_send);
                    button->setFocus(); // as a click on it takes the keyboard
                    button->click();
                    const bool refusedNow = button->isEnabled() && sent.isEmpty();
                    if (refusedNow) {
                        refused = true;
                        const QString report = reportText(*m_window);
                        // w and x share the station tab; y and z have one of their own.
                        const QString command =
                            commands.value(tab > 0 ? tab + 1 : int(qstrcmp(page, "rb_NChanel") == 0));
                        button->setFocus();
                        button->click();
                        if (QApplication::focusWidget() != edit || frame() != QColor(200, 0, 0) ||
                            edit->toolTip() != report || edit->visibleRegion().boundingRect() != edit->rect() ||
                            journal->data(journal->index(journal->rowCount() - 1, TransmissionJournal::CommandColumn))
                                    .toString() != command)
                            lost << edit->objectName() + ": " + report;
                    }
                    edit->setText(was);
                    if (refusedNow && (frame() != plain || !edit->toolTip().isEmpty()))
                        lost << edit->objectName() + " keeps its mark";
                }
            if (!refused)
                neverRefused << edit->objectName();
        }
        QVERIFY2(lost.isEmpty(), qPrintable(lost.join('\n')));
        // Their masks keep out every value that the command cannot carry.
        QCOMPARE(neverRefused.join(' '), QStringLiteral("lE_current_val_el_counter lE_Nom_Ch_1 lE_Nom_Ch_2 lE_Nom_Ch_3 "
                                                        "lE_Nom_Ch_4"));
    }

    void currentDateTimeShowsTheClock() {
        perform("#1");
        // The fields show whole seconds, so the reading may lie up to a second before the press.
        const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
        QCOMPARE(press("pB_Current_DateTime"), QString());
        const QDateTime after = QDateTime::currentDateTime();
        const QString shown = child<QLineEdit>("lE_Date")->text() + ' ' + child<QLineEdit>("lE_Time")->text();
        const QDateTime reading = QDateTime::fromString(shown, "dd/MM/yyyy hh:mm:ss");
        QVERIFY2(reading >= before && reading <= after, qPrintable(shown));
    }

private:
    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }

    // "#n" opens tab n; "clock" presses "Текущее время и дата" with the clock at the last millisecond of 2026, one
    // millisecond later at each reading. "name=text" types into an emptied field, one key event per character carrying
    // it as a keyboard layout sends it (QTest::keyClicks would pass it through Latin-1); "name+=text" pastes into it;
    // any other step clicks the widget of that name.
    void perform(const QString &step) const {
        if (step.startsWith('#')) {
            QTabBar *bar = child<QTabWidget>("tabWidget")->tabBar();
            return QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(step.mid(1).toInt()).center());
        }
        if (step == "clock") {
            QDateTime now(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
            m_window->setClock([now]() mutable { return std::exchange(now, now.addMSecs(1)); });
            return perform("pB_Current_DateTime");
        }
        const int equals = step.indexOf('=');
        if (equals < 0)
            return operatorClick(child<QWidget>(step));
        const bool paste = step.at(equals - 1) == '+';
        const QString text = step.mid(equals + 1);
        QLineEdit *edit = child<QLineEdit>(step.left(paste ? equals - 1 : equals));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        edit->home(false);
        if (paste) {
            QApplication::clipboard()->setText(text);
            return QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        }
        for (QChar c : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    void perform(const QStringList &steps) const {
        for (const QString &step : steps)
            perform(step);
    }

    // The command of one press as hex; the status text when none went out; or how many went out when more did.
    QString press(const QString &button) const {
        QSignalSpy sent(m_window.get(), &MainWindow::signal_data_send);
        perform(button);
        if (sent.count() == 1)
            return QString::fromLatin1(sent.first().first().toByteArray().toHex(' '));
        return sent.isEmpty() ? reportText(*m_window) : QString::number(sent.count()) + " commands";
    }

    std::unique_ptr<MainWindow> m_window;
};

// Qt reads the system locale from the environment once, so the workstation is set before the application.
int main(int argc, char **argv) {
    qputenv("LC_ALL", "ar_EG.UTF-8");
    QApplication app(argc, argv);
    tst_form test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_form.moc"
