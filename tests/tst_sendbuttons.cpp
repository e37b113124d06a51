#include "app/mainwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

const char *const FormRecord = "00 00 01 01 11 41 00 00 04 D2 00 00";

QByteArray multiChannel(const char *record1, const char *record2, const char *record3, const char *record4) {
    return bytes("434D4478") + bytes(record1) + bytes(record2) + bytes(record3) + bytes(record4);
}

} // namespace

// Drives the real window as an operator would: mouse clicks on the indicators and buttons, keys typed
// into the fields (so masks and the validator apply), and the command taken from signal_data_send.
class tst_sendbuttons : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sendsOneCommand_data();
    void sendsOneCommand();
    void disabledUnitIsSkipped();
    void currentDateTimeFillsFieldsOnly();
    void currentDateTimeReadsTheClockOnce();

private:
    template <typename T> T *widget(const QString &name) const;
    void click(const QString &name);
    void perform(const QString &step);
    QByteArray sentHex(const QString &button);

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<QSignalSpy> m_spy;
};

template <typename T> T *tst_sendbuttons::widget(const QString &name) const {
    T *found = m_window->findChild<T *>(name);
    if (!found)
        qFatal("no widget %s of the expected class", qPrintable(name));
    return found;
}

// Check boxes and radio buttons take a click only on their indicator or text, so aim at the indicator.
void tst_sendbuttons::click(const QString &name) {
    auto *button = widget<QAbstractButton>(name);
    QPoint point = button->rect().center();
    const bool isCheckBox = qobject_cast<QCheckBox *>(button) != nullptr;
    if (isCheckBox || qobject_cast<QRadioButton *>(button)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const auto element = isCheckBox ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator;
        point = button->style()->subElementRect(element, &option, button).center();
    }
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, point);
}

// One step of a row's script: "click NAME", "type NAME TEXT" (replaces the content), "append NAME TEXT"
// (types at the cursor), "clear NAME", "key NAME Home|Delete|Right" or "tab INDEX".
void tst_sendbuttons::perform(const QString &step) {
    const QStringList words = step.split(QLatin1Char(' '));
    const QString &action = words.at(0);
    if (action == QLatin1String("tab")) {
        QTabBar *bar = widget<QTabWidget>(QStringLiteral("tabWidget"))->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(words.at(1).toInt()).center());
        return;
    }
    if (action == QLatin1String("click"))
        return click(words.at(1));

    auto *edit = widget<QLineEdit>(words.at(1));
    edit->setFocus();
    if (action == QLatin1String("key")) {
        const QMap<QString, Qt::Key> keys{{"Home", Qt::Key_Home}, {"Delete", Qt::Key_Delete}, {"Right", Qt::Key_Right}};
        QTest::keyClick(edit, keys.value(words.at(2)));
        return;
    }
    if (action == QLatin1String("append"))
        return QTest::keyClicks(edit, words.at(2));
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    if (action == QLatin1String("clear"))
        QTest::keyClick(edit, Qt::Key_Backspace);
    else
        QTest::keyClicks(edit, words.at(2));
}

// The command of one press in hex, or a text that names the fault when the press did not emit exactly once.
QByteArray tst_sendbuttons::sentHex(const QString &button) {
    m_spy->clear();
    click(button);
    if (m_spy->count() != 1)
        return "emitted " + QByteArray::number(m_spy->count()) + " times";
    return m_spy->takeFirst().at(0).toByteArray().toHex(' ');
}

void tst_sendbuttons::init() {
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_spy = std::make_unique<QSignalSpy>(m_window.get(), &MainWindow::signal_data_send);
}

void tst_sendbuttons::cleanup() {
    m_spy.reset();
    m_window.reset();
}

void tst_sendbuttons::sendsOneCommand_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");

    const QString station = QStringLiteral("pB_Send_1");
    QTest::newRow("station at start") << QStringList{} << station << bytes("434D4477 00 00000000");
    QTest::newRow("unit 1") << QStringList{"click chB_1"} << station << bytes("434D4477 01 6F 00000000");
    QTest::newRow("units 1-3, unit 2 analog")
        << QStringList{"click chB_1", "click chB_2", "click chB_3", "click rB_anl_2"} << station
        << bytes("434D4477 03 6F7071 00000002");
    QStringList allAnalog;
    for (int unit = 1; unit <= 8; ++unit)
        allAnalog << QStringLiteral("click chB_%1").arg(unit) << QStringLiteral("click rB_anl_%1").arg(unit);
    QTest::newRow("all eight analog") << allAnalog << station << bytes("434D4477 08 6F70717273747576 000000FF");
    QTest::newRow("address 250") << QStringList{"click chB_1", "type lE_1 250"} << station
                                 << bytes("434D4477 01 FA 00000000");
    QTest::newRow("address cleared") << QStringList{"click chB_1", "clear lE_1"} << station
                                     << bytes("434D4477 01 00 00000000");
    QTest::newRow("address 0") << QStringList{"click chB_1", "type lE_1 0"} << station
                               << bytes("434D4477 01 00 00000000");
    // The validator lets a three-digit number above its range stand while it is edited, but no fourth digit.
    QTest::newRow("address 300") << QStringList{"click chB_1", "type lE_1 300"} << station
                                 << bytes("434D4477 01 2C 00000000");
    QTest::newRow("fourth digit refused")
        << QStringList{"click chB_1", "type lE_1 2510"} << station << bytes("434D4477 01 FB 00000000");

    QTest::newRow("multi-channel at start")
        << QStringList{"click rb_NChanel"} << station << multiChannel(FormRecord, FormRecord, FormRecord, FormRecord);
    QTest::newRow("multi-channel with CM boxes")
        << QStringList{"click rb_NChanel",           "click chB_Chanel1_CM_1", "click chB_Chanel1_CM_3",
                       "type lE_Date_Ch_1 15062016", "type lE_Kod_Ch_1 B",     "type lE_Nom_Ch_1 99999",
                       "click chB_Chanel2_CM_2",     "click chB_Chanel2_CM_4", "type lE_Date_Ch_2 15062016",
                       "type lE_Kod_Ch_2 B",         "type lE_Nom_Ch_2 99999", "type lE_Nom_Ch_4 99999"}
        << station
        << multiChannel("01 02 0F 06 10 42 00 01 86 9F 30 00", "02 02 0F 06 10 42 00 01 86 9F 40 00", FormRecord,
                        "00 00 01 01 11 41 00 01 86 9F 00 00");
    QTest::newRow("CM box checked and unchecked")
        << QStringList{"click rb_NChanel", "click chB_Chanel3_CM_2", "click chB_Chanel3_CM_2"} << station
        << multiChannel(FormRecord, FormRecord, FormRecord, FormRecord);
    QTest::newRow("all CM boxes of channel 4")
        << QStringList{"click rb_NChanel", "click chB_Chanel4_CM_1", "click chB_Chanel4_CM_2", "click chB_Chanel4_CM_3",
                       "click chB_Chanel4_CM_4"}
        << station << multiChannel(FormRecord, FormRecord, FormRecord, "01 04 01 01 11 41 00 00 04 D2 32 04");
    QTest::newRow("code emptied") << QStringList{"click rb_NChanel", "clear lE_Kod_Ch_2"} << station
                                  << multiChannel(FormRecord, "00 00 01 01 11 00 00 00 04 D2 00 00", FormRecord,
                                                  FormRecord);
    QTest::newRow("date cleared") << QStringList{"click rb_NChanel", "clear lE_Date_Ch_3"} << station
                                  << multiChannel(FormRecord, FormRecord, "00 00 00 00 30 41 00 00 04 D2 00 00",
                                                  FormRecord);
    QTest::newRow("back to single channel") << QStringList{"click chB_1", "click rb_NChanel", "click rb_1Chanel"}
                                            << station << bytes("434D4477 01 6F 00000000");

    const QString clock = QStringLiteral("pB_Send_2");
    QTest::newRow("time at start") << QStringList{"tab 1"} << clock << bytes("434D4479 000000 010111");
    QTest::newRow("time typed") << QStringList{"tab 1", "type lE_Time 235959", "type lE_Date 31122099"} << clock
                                << bytes("434D4479 173B3B 1F0C63");
    QTest::newRow("time as typed") << QStringList{"tab 1", "type lE_Time 999999", "type lE_Date 99991999"} << clock
                                   << bytes("434D4479 636363 6363FF");
    QTest::newRow("fields cleared") << QStringList{"tab 1", "clear lE_Time", "clear lE_Date"} << clock
                                    << bytes("434D4479 000000 000030");
    QTest::newRow("time partly filled") << QStringList{"tab 1", "clear lE_Time", "type lE_Time 7", "key lE_Time Right",
                                                       "append lE_Time 5"}
                                        << clock << bytes("434D4479 070500 010111");

    const QString meter = QStringLiteral("pB_Send_3");
    QTest::newRow("no meter") << QStringList{"tab 2"} << meter << bytes("434D447A 00 00000000 0000");
    QTest::newRow("pulse, form texts") << QStringList{"tab 2", "click rB_Imp_el_counter"} << meter
                                       << bytes("434D447A 01 00000000 0140");
    QTest::newRow("reading 1234.5") << QStringList{"tab 2", "click rB_Imp_el_counter",
                                                   "type lE_current_val_el_counter 00012345"}
                                    << meter << bytes("434D447A 01 00003039 0140");
    QTest::newRow("reading 0.7") << QStringList{"tab 2", "click rB_Imp_el_counter",
                                                "type lE_current_val_el_counter 00000007"}
                                 << meter << bytes("434D447A 01 00000007 0140");
    QTest::newRow("reading 1234567.8") << QStringList{"tab 2", "click rB_Imp_el_counter",
                                                      "type lE_current_val_el_counter 12345678"}
                                       << meter << bytes("434D447A 01 00BC614E 0140");
    QTest::newRow("reading 9999999.9") << QStringList{"tab 2", "click rB_Imp_el_counter",
                                                      "type lE_current_val_el_counter 99999999"}
                                       << meter << bytes("434D447A 01 05F5E0FF 0140");
    QTest::newRow("reading cleared") << QStringList{"tab 2", "click rB_Imp_el_counter",
                                                    "clear lE_current_val_el_counter"}
                                     << meter << bytes("434D447A 01 00000000 0140");
    QTest::newRow("reading partly typed")
        << QStringList{"tab 2", "click rB_Imp_el_counter", "type lE_current_val_el_counter 12"} << meter
        << bytes("434D447A 01 00000078 0140");
    QTest::newRow("first reading digit deleted")
        << QStringList{"tab 2", "click rB_Imp_el_counter", "type lE_current_val_el_counter 12345678",
                       "key lE_current_val_el_counter Home", "key lE_current_val_el_counter Delete"}
        << meter << bytes("434D447A 01 0023CACE 0140");
    QTest::newRow("constant 99999") << QStringList{"tab 2", "click rB_Imp_el_counter", "type lE_coef_el_counter 99999"}
                                    << meter << bytes("434D447A 01 00000000 270F");
    QTest::newRow("constant 3205") << QStringList{"tab 2", "click rB_Imp_el_counter", "type lE_coef_el_counter 3205"}
                                   << meter << bytes("434D447A 01 00000000 0140");
    QTest::newRow("constant 5") << QStringList{"tab 2", "click rB_Imp_el_counter", "type lE_coef_el_counter 5"} << meter
                                << bytes("434D447A 01 00000000 0000");
    const QStringList pulseTyped{"tab 2", "click rB_Imp_el_counter", "type lE_current_val_el_counter 00012345",
                                 "type lE_coef_el_counter 1000"};
    QTest::newRow("RS485 ignores meter fields")
        << (pulseTyped + QStringList{"click rB_RS485_el_counter"}) << meter << bytes("434D447A 02 00000000 0000");
    QTest::newRow("no meter ignores meter fields")
        << (pulseTyped + QStringList{"click rB_Not_El_Counter"}) << meter << bytes("434D447A 00 00000000 0000");
}

void tst_sendbuttons::sendsOneCommand() {
    QFETCH(QStringList, steps);
    QFETCH(QString, button);
    QFETCH(QByteArray, expected);

    for (const QString &step : steps)
        perform(step);
    QCOMPARE(sentHex(button), expected.toHex(' '));
    // The widgets keep their values, so a second press sends the same command.
    QCOMPARE(sentHex(button), expected.toHex(' '));
}

void tst_sendbuttons::disabledUnitIsSkipped() {
    for (const char *step : {"click chB_1", "click chB_2", "click chB_3", "click rB_anl_3", "click chB_2"})
        perform(QString::fromLatin1(step));
    auto *unit3 = widget<QCheckBox>(QStringLiteral("chB_3"));
    QVERIFY(unit3->isChecked());
    QVERIFY(!unit3->isEnabled());
    QCOMPARE(sentHex(QStringLiteral("pB_Send_1")), bytes("434D4477 01 6F 00000000").toHex(' '));
}

void tst_sendbuttons::currentDateTimeFillsFieldsOnly() {
    perform(QStringLiteral("tab 1"));
    const QDateTime before = QDateTime::currentDateTime();
    click(QStringLiteral("pB_Current_DateTime"));
    const QDateTime after = QDateTime::currentDateTime();
    QCOMPARE(m_spy->count(), 0);

    const QString timeText = widget<QLineEdit>(QStringLiteral("lE_Time"))->text();
    const QString dateText = widget<QLineEdit>(QStringLiteral("lE_Date"))->text();
    QStringList possibleTimes, possibleDates;
    for (QDateTime second = before.addMSecs(-before.time().msec()); second <= after; second = second.addSecs(1)) {
        possibleTimes << second.toString(QStringLiteral("hh:mm:ss"));
        possibleDates << second.toString(QStringLiteral("dd/MM/yyyy"));
    }
    QVERIFY2(possibleTimes.contains(timeText), qPrintable(timeText));
    QVERIFY2(possibleDates.contains(dateText), qPrintable(dateText));

    const QTime time = QTime::fromString(timeText, QStringLiteral("hh:mm:ss"));
    const QDate date = QDate::fromString(dateText, QStringLiteral("dd/MM/yyyy"));
    QByteArray expected = bytes("434D4479");
    for (int value : {time.hour(), time.minute(), time.second(), date.day(), date.month(), date.year() - 2000})
        expected.append(char(value));
    QCOMPARE(sentHex(QStringLiteral("pB_Send_2")), expected.toHex(' '));
}

void tst_sendbuttons::currentDateTimeReadsTheClockOnce() {
    // A press in the last moment of a year: a second reading of the clock would already be in the next one.
    QDateTime now(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
    m_window->setClock([&now] {
        const QDateTime reading = now;
        now = now.addMSecs(1);
        return reading;
    });
    perform(QStringLiteral("tab 1"));
    click(QStringLiteral("pB_Current_DateTime"));
    QCOMPARE(widget<QLineEdit>(QStringLiteral("lE_Time"))->text(), QStringLiteral("23:59:59"));
    QCOMPARE(widget<QLineEdit>(QStringLiteral("lE_Date"))->text(), QStringLiteral("31/12/2026"));
    QCOMPARE(sentHex(QStringLiteral("pB_Send_2")), bytes("434D4479 173B3B 1F0C1A").toHex(' '));
}

QTEST_MAIN(tst_sendbuttons)
#include "tst_sendbuttons.moc"
