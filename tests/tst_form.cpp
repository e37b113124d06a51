#include "mainwindow/mainwindow.h"
#include "support/operatorclick.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QValidator>
#include <QtTest>

#include <memory>

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

void objectRow(const QString &name, const char *className, const QString &text = {}, bool enabled = true,
               bool checked = false, const QString &mask = {}) {
    QTest::newRow(qPrintable(name)) << name << QByteArray(className) << text << enabled << checked << mask;
}

// Clicks on the unit boxes, such as "1 2 3".
void unitRow(const char *name, const QString &units, const QString &picture) {
    QStringList clicks;
    for (const QString &unit : units.split(' ', Qt::SkipEmptyParts))
        clicks << "chB_" + unit;
    QTest::newRow(name) << clicks << picture << StartChannels;
}

// Clicks on the multi-channel page, channel and CM number as in "21 23" for СМ1 and СМ3 of channel 2.
void cmRow(const QString &name, const QString &cms, const QString &picture) {
    QStringList clicks{"rb_NChanel"};
    for (const QString &cm : cms.split(' '))
        clicks << QStringLiteral("chB_Chanel%1_CM_%2").arg(cm.at(0)).arg(cm.at(1));
    QTest::newRow(qPrintable(name)) << clicks << StartUnits << picture;
}

void sendRow(const char *name, const QStringList &steps, const char *button, const char *bytes) {
    QTest::newRow(name) << steps << QString(button) << QByteArray::fromHex(bytes).toHex(' ');
}

} // namespace

// The main window as the operator first sees it and as it answers clicks and the send buttons.
class tst_form : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { m_window.reset(); }
    void namedObjects_data();
    void namedObjects();
    void startsOnFirstTabAndPage();
    void addressValidator();
    void meterFields_data();
    void meterFields();
    void stationTab_data();
    void stationTab();
    void pageSwitchKeepsValues();
    void sendsOneCommand_data();
    void sendsOneCommand();
    void currentDateTimeShowsTheClock();
    void closingTheWindowEndsWithZero();

private:
    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }
    void perform(const QString &step) const;
    void perform(const QStringList &steps) const;
    QByteArray press(const QString &button) const;
    QString unitsPicture() const;
    QString channelsPicture() const;

    std::unique_ptr<MainWindow> m_window;
};

void tst_form::init() {
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// A step opens tab n ("#n"), types into a field ("name=text", through its mask and validator) or clicks a button.
void tst_form::perform(const QString &step) const {
    if (step.startsWith('#')) {
        QTabBar *bar = child<QTabWidget>("tabWidget")->tabBar();
        return QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(step.mid(1).toInt()).center());
    }
    const QStringList field = step.split('=');
    if (field.size() == 2) {
        QLineEdit *edit = child<QLineEdit>(field.at(0));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        edit->home(false);
        return QTest::keyClicks(edit, field.at(1));
    }
    operatorClick(child<QWidget>(step));
}

void tst_form::perform(const QStringList &steps) const {
    for (const QString &step : steps)
        perform(step);
}

// The command of one press, or the number of commands when there was not exactly one.
QByteArray tst_form::press(const QString &button) const {
    QSignalSpy sent(m_window.get(), &MainWindow::signal_data_send);
    perform(button);
    if (sent.count() != 1)
        return QByteArray::number(sent.count()) + " commands";
    return sent.first().first().toByteArray().toHex(' ');
}

QString tst_form::unitsPicture() const {
    QStringList units;
    for (int unit = 1; unit <= 8; ++unit) {
        QString token = boxCode(child<QCheckBox>(QStringLiteral("chB_%1").arg(unit)));
        for (const char *prefix : {"lE_", "rB_dig_", "rB_anl_"})
            token += child<QWidget>(prefix + QString::number(unit))->isEnabled() ? '+' : '-';
        units << token;
    }
    return units.join(' ');
}

QString tst_form::channelsPicture() const {
    QStringList channels;
    for (int channel = 1; channel <= 4; ++channel) {
        QString token;
        for (int cm = 1; cm <= 4; ++cm)
            token += boxCode(child<QCheckBox>(QStringLiteral("chB_Chanel%1_CM_%2").arg(channel).arg(cm)));
        channels << token + '[' + child<QLabel>(QStringLiteral("lb_Adr_Chanel_%1").arg(channel))->text() + ']';
    }
    return channels.join(' ');
}

void tst_form::namedObjects_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("mask");

    objectRow("rb_1Chanel", "QRadioButton", "Одноканальная", true, true);
    objectRow("rb_NChanel", "QRadioButton", "Многоканальная");
    for (int n = 1; n <= 8; ++n) {
        objectRow(QStringLiteral("chB_%1").arg(n), "QCheckBox", QStringLiteral("БУ%1").arg(n), n == 1);
        objectRow(QStringLiteral("lE_%1").arg(n), "QLineEdit", QString::number(110 + n), n == 1);
        objectRow(QStringLiteral("rB_dig_%1").arg(n), "QRadioButton", "GSM/RS-485", n == 1, true);
        objectRow(QStringLiteral("rB_anl_%1").arg(n), "QRadioButton", "4-20 мА", n == 1);
    }
    for (int k = 1; k <= 4; ++k) {
        for (int y = 1; y <= 4; ++y)
            objectRow(QStringLiteral("chB_Chanel%1_CM_%2").arg(k).arg(y), "QCheckBox", QStringLiteral("СМ%1").arg(y));
        objectRow(QStringLiteral("lb_Adr_Chanel_%1").arg(k), "QLabel");
        objectRow(QStringLiteral("lE_Date_Ch_%1").arg(k), "QLineEdit", "01/01/2017", true, false, "99/99/9999");
        objectRow(QStringLiteral("lE_Kod_Ch_%1").arg(k), "QLineEdit", "A", true, false, "A");
        objectRow(QStringLiteral("lE_Nom_Ch_%1").arg(k), "QLineEdit", "01234", true, false, "00000");
    }
    objectRow("lE_Time", "QLineEdit", "00:00:00", true, false, "99:99:99");
    objectRow("lE_Date", "QLineEdit", "01/01/2017", true, false, "99/99/9999");
    objectRow("rB_Not_El_Counter", "QRadioButton", "Не подключен", true, true);
    objectRow("rB_Imp_el_counter", "QRadioButton", "Импульсный");
    objectRow("rB_RS485_el_counter", "QRadioButton", "RS485 выход");
    objectRow("lE_current_val_el_counter", "QLineEdit", "0000000.0", false, false, "9999999.9");
    objectRow("lE_coef_el_counter", "QLineEdit", "3200", false, false, "00000");
    for (const char *name : {"pB_Send_1", "pB_Send_2", "pB_Send_3"})
        objectRow(name, "QPushButton", "Отправить");
    objectRow("pB_Current_DateTime", "QPushButton", "Текущее время и дата");
    objectRow("action_settings", "QAction", "Настройки связи");
    objectRow("action_exit", "QAction", "Выход");
    objectRow("action_about", "QAction", "О программе");
    objectRow("action_re", "QAction", "Справка");
}

// The slots are bound by name, so every name must exist once, with its class and its starting state.
void tst_form::namedObjects() {
    QFETCH(QString, name);
    const QList<QObject *> found = m_window->findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    const QObject *object = found.first();
    QTEST(QByteArray(object->metaObject()->className()), "className");
    QTEST(object->property("text").toString(), "text");
    QTEST(object->property("enabled").toBool(), "enabled");
    QTEST(object->property("checked").toBool(), "checked");
    QTEST(object->property("inputMask").toString(), "mask");
}

void tst_form::startsOnFirstTabAndPage() {
    QCOMPARE(m_window->windowTitle(), QStringLiteral("ЗЕВР-3G-Config v.1.2"));
    QCOMPARE(child<QTabWidget>("tabWidget")->currentIndex(), 0);
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget(), child<QWidget>("page"));
}

void tst_form::closingTheWindowEndsWithZero() {
    QTimer::singleShot(0, m_window.get(), &QWidget::close);
    QCOMPARE(QApplication::exec(), 0);
}

void tst_form::addressValidator() {
    for (int n = 1; n <= 8; ++n) {
        const QValidator *validator = child<QLineEdit>(QStringLiteral("lE_%1").arg(n))->validator();
        QVERIFY(validator);
        QStringList verdicts;
        for (QString input : {"1", "250", "0", "251"}) {
            int position = 0;
            verdicts << input + (validator->validate(input, position) == QValidator::Acceptable ? '+' : '-');
        }
        QCOMPARE(verdicts.join(' '), QStringLiteral("1+ 250+ 0- 251-"));
    }
}

void tst_form::meterFields_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("pulse") << QStringList{"rB_Imp_el_counter"} << true;
    QTest::newRow("pulse, then none") << QStringList{"rB_Imp_el_counter", "rB_Not_El_Counter"} << false;
    QTest::newRow("pulse, then RS485") << QStringList{"rB_Imp_el_counter", "rB_RS485_el_counter"} << false;
}

void tst_form::meterFields() {
    QFETCH(QStringList, clicks);
    perform("#2");
    perform(clicks);
    QVERIFY(child<QAbstractButton>(clicks.last())->isChecked());
    QTEST(child<QLineEdit>("lE_current_val_el_counter")->isEnabled(), "enabled");
    QTEST(child<QLineEdit>("lE_coef_el_counter")->isEnabled(), "enabled");
}

void tst_form::stationTab_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("units");
    QTest::addColumn<QString>("channels");

    unitRow("start", "", StartUnits);
    unitRow("БУ1 enables chB_2 only", "1", "X+++ o--- .--- .--- .--- .--- .--- .---");
    unitRow("БУ1, БУ2", "1 2", "X+++ X+++ o--- .--- .--- .--- .--- .---");
    unitRow("БУ1..БУ5", "1 2 3 4 5", "X+++ X+++ X+++ X+++ X+++ o--- .--- .---");
    unitRow("БУ1..БУ5, БУ2 off", "1 2 3 4 5 2", "X+++ o--- #--- #--- #--- .--- .--- .---");
    unitRow("БУ1..БУ5, БУ2 off, on", "1 2 3 4 5 2 2", "X+++ X+++ X+++ X+++ X+++ o--- .--- .---");
    unitRow("БУ1..БУ3, БУ1 off", "1 2 3 1", "o-++ #--- #--- .--- .--- .--- .--- .---");
    // The walk stops at the first unchecked box, so a checked unit behind it stays as it was.
    unitRow("БУ1..БУ4, БУ3 off, БУ1 off", "1 2 3 4 3 1", "o-++ #--- .--- #--- .--- .--- .--- .---");
    unitRow("all eight, БУ1 off", "1 2 3 4 5 6 7 8 1", "o-++ #--- #--- #--- #--- #--- #--- #---");

    cmRow("СМ1 of channel 1", "11", "Xooo[1] .ooo[] .ooo[] .ooo[]");
    cmRow("and off again", "11 11", "oooo[ ] oooo[] oooo[] oooo[]");
    cmRow("channel 2 СМ2, СМ3", "22 23", "o..o[] oXXo[2] o..o[] o..o[]");
    cmRow("then СМ2 off", "22 23 22", "oo.o[] ooXo[3] oo.o[] oo.o[]");
    cmRow("then СМ4 on", "22 23 22 24", "oo..[] ooXX[3] oo..[] oo..[]");
    cmRow("lower one checked later", "44 41", ".oo.[] .oo.[] .oo.[] XooX[1]");
    // Each of the sixteen boxes writes its own channel's label and locks its own column elsewhere.
    for (int channel = 1; channel <= 4; ++channel) {
        for (int cm = 1; cm <= 4; ++cm) {
            QString picture = StartChannels; // seven characters per channel
            for (int k = 1; k <= 4; ++k)
                picture[7 * (k - 1) + cm - 1] = k == channel ? 'X' : '.';
            picture.insert(7 * (channel - 1) + 5, QChar('0' + cm));
            cmRow(QStringLiteral("chB_Chanel%1_CM_%2").arg(channel).arg(cm),
                  QStringLiteral("%1%2").arg(channel).arg(cm), picture);
        }
    }
}

void tst_form::stationTab() {
    QFETCH(QStringList, clicks);
    perform(clicks);
    QTEST(unitsPicture(), "units");
    QTEST(channelsPicture(), "channels");
}

void tst_form::pageSwitchKeepsValues() {
    perform({"chB_1", "chB_2", "chB_3", "rB_anl_3", "lE_3=42", "chB_2", "rb_NChanel", "chB_Chanel2_CM_1",
             "chB_Chanel2_CM_3"});
    const QString units = unitsPicture();
    const QString channels = channelsPicture();
    auto *pages = child<QStackedWidget>("stackedWidget");
    perform("rb_1Chanel");
    QCOMPARE(pages->currentWidget(), child<QWidget>("page"));
    perform("rb_NChanel");
    QCOMPARE(pages->currentWidget(), child<QWidget>("page_2"));
    QCOMPARE(unitsPicture(), units);
    QCOMPARE(channelsPicture(), channels);

    perform({"rb_1Chanel", "chB_2"});
    QCOMPARE(unitsPicture(), QStringLiteral("X+++ X+++ X+++ o--- .--- .--- .--- .---"));
    QCOMPARE(child<QLineEdit>("lE_3")->text(), QStringLiteral("42"));
    QVERIFY(child<QRadioButton>("rB_anl_3")->isChecked());
}

void tst_form::sendsOneCommand_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("expected");

    sendRow("station at start", {}, "pB_Send_1", "434D4477 00 00000000");
    sendRow("units 1-3, unit 2 analog", {"chB_1", "chB_2", "chB_3", "rB_anl_2"}, "pB_Send_1",
            "434D4477 03 6F7071 00000002");
    sendRow("unit 3 checked but disabled", {"chB_1", "chB_2", "chB_3", "rB_anl_3", "chB_2"}, "pB_Send_1",
            "434D4477 01 6F 00000000");
    QStringList units;
    for (int unit = 1; unit <= 8; ++unit)
        units << QStringLiteral("chB_%1").arg(unit) << QStringLiteral("rB_anl_%1").arg(unit);
    sendRow("all eight analog", units, "pB_Send_1", "434D4477 08 6F70717273747576 000000FF");
    QStringList channels{"rb_NChanel", "chB_Chanel1_CM_1", "chB_Chanel1_CM_3", "chB_Chanel2_CM_2", "chB_Chanel4_CM_4"};
    for (int k = 1; k <= 4; ++k)
        channels << QStringLiteral("lE_Date_Ch_%1=0%1/0%2/201%1").arg(k).arg(k + 1)
                 << QStringLiteral("lE_Kod_Ch_%1=%2").arg(k).arg(QChar('A' + k))
                 << QStringLiteral("lE_Nom_Ch_%1=9999%1").arg(k);
    sendRow("every field of every channel", channels, "pB_Send_1",
            "434D4478 01 02 01 02 0B 42 00 01 86 97 30 00  02 01 02 03 0C 43 00 01 86 98 00 00"
            "         00 00 03 04 0D 44 00 01 86 99 00 00  04 01 04 05 0E 45 00 01 86 9A 00 00");
    sendRow("time and date", {"#1", "lE_Time=23:59:59", "lE_Date=31/12/2099"}, "pB_Send_2", "434D4479 173B3B 1F0C63");
    const QStringList pulse{"#2", "rB_Imp_el_counter", "lE_current_val_el_counter=1234567.8",
                            "lE_coef_el_counter=99999"};
    sendRow("no meter", {"#2"}, "pB_Send_3", "434D447A 00 00000000 0000");
    sendRow("pulse meter", pulse, "pB_Send_3", "434D447A 01 00BC614E 270F");
    sendRow("RS485 ignores the fields", pulse + QStringList{"rB_RS485_el_counter"}, "pB_Send_3",
            "434D447A 02 00000000 0000");
}

void tst_form::sendsOneCommand() {
    QFETCH(QStringList, steps);
    QFETCH(QString, button);
    perform(steps);
    QTEST(press(button), "expected");
    // The widgets keep their values, so a second press sends the same command.
    QTEST(press(button), "expected");
}

void tst_form::currentDateTimeShowsTheClock() {
    perform("#1");
    // The fields show whole seconds, so the reading may lie up to a second before the press.
    const QDateTime before = QDateTime::currentDateTime().addMSecs(-999);
    QCOMPARE(press("pB_Current_DateTime"), QByteArray("0 commands"));
    const QDateTime after = QDateTime::currentDateTime();
    const QString shown = child<QLineEdit>("lE_Date")->text() + ' ' + child<QLineEdit>("lE_Time")->text();
    const QDateTime reading = QDateTime::fromString(shown, "dd/MM/yyyy hh:mm:ss");
    QVERIFY2(reading >= before && reading <= after, qPrintable(shown));
    // One reading at the turn of a year, under a locale with digits of its own: tst_input.
}

QTEST_MAIN(tst_form)
#include "tst_form.moc"
