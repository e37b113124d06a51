#include "app/mainwindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStyleOptionButton>
#include <QtTest>

#include <memory>

// The tab "СКЗ" driven by mouse clicks as the operator does it. The state of both pages is read back
// as a compact picture so that every widget is compared after every scenario, not just the ones
// a scenario is about.
//
// Single-channel page, one token per unit 1..8: box 'C' checked+enabled, 'c' unchecked+enabled,
// 'D' checked+disabled, 'd' unchecked+disabled; then the unit's fields: '+' address and both mode
// buttons enabled, '-' all three disabled, 'm' only the mode buttons enabled, '?' anything else.
//
// Multi-channel page, one token per channel 1..4: for CM boxes 1..4 'X' checked+enabled,
// 'o' unchecked+enabled, '.' unchecked+disabled, '#' checked+disabled; then the address label in [].
class tst_stationtab : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void unitCascade_data();
    void unitCascade();
    void unitKeepsValuesWhileDisabled();
    void cascadeSwitchesInOrder();
    void cmRule_data();
    void cmRule();
    void cmSlotsWiredByName_data();
    void cmSlotsWiredByName();
    void pageSwitchKeepsBothPages();
    void programmaticChangeRunsNoSlot();

private:
    template <typename T> T *child(const QString &name) const;
    QCheckBox *unitBox(int unit) const;
    QCheckBox *cmBox(int channel, int cm) const;
    QString unitsPicture() const;
    QString channelsPicture() const;
    void click(QAbstractButton *button) const;
    void clickUnits(const QList<int> &units) const;
    void clickCms(const QList<QPoint> &cms) const;

    std::unique_ptr<MainWindow> m_window;
};

using Clicks = QList<int>;
using CmClicks = QList<QPoint>; // x = channel, y = CM number

void tst_stationtab::init() {
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_stationtab::cleanup() { m_window.reset(); }

template <typename T> T *tst_stationtab::child(const QString &name) const {
    T *found = m_window->findChild<T *>(name);
    if (!found)
        qFatal("no widget %s", qPrintable(name));
    return found;
}

QCheckBox *tst_stationtab::unitBox(int unit) const { return child<QCheckBox>(QStringLiteral("chB_%1").arg(unit)); }

QCheckBox *tst_stationtab::cmBox(int channel, int cm) const {
    return child<QCheckBox>(QStringLiteral("chB_Chanel%1_CM_%2").arg(channel).arg(cm));
}

QString tst_stationtab::unitsPicture() const {
    QStringList tokens;
    for (int unit = 1; unit <= 8; ++unit) {
        const QCheckBox *box = unitBox(unit);
        const char boxCode = box->isEnabled() ? (box->isChecked() ? 'C' : 'c') : (box->isChecked() ? 'D' : 'd');
        const bool address = child<QLineEdit>(QStringLiteral("lE_%1").arg(unit))->isEnabled();
        const bool digital = child<QRadioButton>(QStringLiteral("rB_dig_%1").arg(unit))->isEnabled();
        const bool analog = child<QRadioButton>(QStringLiteral("rB_anl_%1").arg(unit))->isEnabled();
        char fields = '?';
        if (address && digital && analog)
            fields = '+';
        else if (!address && !digital && !analog)
            fields = '-';
        else if (!address && digital && analog)
            fields = 'm';
        tokens << QString(QChar(boxCode)) + QChar(fields);
    }
    return tokens.join(' ');
}

QString tst_stationtab::channelsPicture() const {
    QStringList tokens;
    for (int channel = 1; channel <= 4; ++channel) {
        QString token;
        for (int cm = 1; cm <= 4; ++cm) {
            const QCheckBox *box = cmBox(channel, cm);
            token += box->isEnabled() ? (box->isChecked() ? 'X' : 'o') : (box->isChecked() ? '#' : '.');
        }
        token += '[' + child<QLabel>(QStringLiteral("lb_Adr_Chanel_%1").arg(channel))->text() + ']';
        tokens << token;
    }
    return tokens.join(' ');
}

// Clicks on the indicator, as the operator does. A disabled button takes the click and does nothing.
void tst_stationtab::click(QAbstractButton *button) const {
    QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
    QStyleOptionButton option;
    option.initFrom(button);
    const bool box = qobject_cast<QCheckBox *>(button) != nullptr;
    const QRect indicator = button->style()->subElementRect(
        box ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

void tst_stationtab::clickUnits(const QList<int> &units) const {
    for (int unit : units)
        click(unitBox(unit));
}

void tst_stationtab::clickCms(const QList<QPoint> &cms) const {
    click(child<QRadioButton>("rb_NChanel"));
    for (const QPoint &cm : cms)
        click(cmBox(cm.x(), cm.y()));
}

void tst_stationtab::unitCascade_data() {
    QTest::addColumn<Clicks>("clicks");
    QTest::addColumn<QString>("picture");

    QTest::newRow("start") << Clicks{} << "c+ d- d- d- d- d- d- d-";
    QTest::newRow("БУ1 enables only the box of БУ2") << Clicks{1} << "C+ c- d- d- d- d- d- d-";
    QTest::newRow("БУ2 enables its fields and the box of БУ3") << Clicks{1, 2} << "C+ C+ c- d- d- d- d- d-";
    QTest::newRow("БУ1..БУ5") << Clicks{1, 2, 3, 4, 5} << "C+ C+ C+ C+ C+ c- d- d-";
    QTest::newRow("БУ1..БУ5, БУ2 off") << Clicks{1, 2, 3, 4, 5, 2} << "C+ c- D- D- D- d- d- d-";
    QTest::newRow("БУ1..БУ5, БУ2 off and on") << Clicks{1, 2, 3, 4, 5, 2, 2} << "C+ C+ C+ C+ C+ c- d- d-";
    QTest::newRow("БУ1..БУ3, БУ1 off keeps its mode buttons") << Clicks{1, 2, 3, 1} << "cm D- D- d- d- d- d- d-";
    QTest::newRow("БУ1..БУ3, БУ1 off and on") << Clicks{1, 2, 3, 1, 1} << "C+ C+ C+ c- d- d- d- d-";
    QTest::newRow("БУ1 on and off") << Clicks{1, 1} << "cm d- d- d- d- d- d- d-";
    QTest::newRow("all eight") << Clicks{1, 2, 3, 4, 5, 6, 7, 8} << "C+ C+ C+ C+ C+ C+ C+ C+";
    QTest::newRow("all eight, БУ8 off") << Clicks{1, 2, 3, 4, 5, 6, 7, 8, 8} << "C+ C+ C+ C+ C+ C+ C+ c-";
    QTest::newRow("all eight, БУ1 off") << Clicks{1, 2, 3, 4, 5, 6, 7, 8, 1} << "cm D- D- D- D- D- D- D-";
    QTest::newRow("all eight, БУ1 off and on") << Clicks{1, 2, 3, 4, 5, 6, 7, 8, 1, 1} << "C+ C+ C+ C+ C+ C+ C+ C+";
    // The walk stops at the first unchecked box, so a checked unit behind it stays as it was.
    QTest::newRow("БУ1..БУ4, БУ3 off, БУ1 off") << Clicks{1, 2, 3, 4, 3, 1} << "cm D- d- D- d- d- d- d-";
    QTest::newRow("БУ1..БУ4, БУ3 off, БУ1 off and on") << Clicks{1, 2, 3, 4, 3, 1, 1} << "C+ C+ c- D- d- d- d- d-";
    QTest::newRow("БУ1..БУ4, БУ3 off and on") << Clicks{1, 2, 3, 4, 3, 3} << "C+ C+ C+ C+ c- d- d- d-";
    QTest::newRow("a disabled box ignores the click") << Clicks{3} << "c+ d- d- d- d- d- d- d-";
    QTest::newRow("БУ1, then the disabled БУ3") << Clicks{1, 3} << "C+ c- d- d- d- d- d- d-";
    QTest::newRow("БУ1..БУ3, БУ2 off, disabled БУ3") << Clicks{1, 2, 3, 2, 3} << "C+ c- D- d- d- d- d- d-";
}

void tst_stationtab::unitCascade() {
    QFETCH(Clicks, clicks);
    QFETCH(QString, picture);
    clickUnits(clicks);
    QCOMPARE(unitsPicture(), picture);
    // The single-channel page alone is touched.
    QCOMPARE(channelsPicture(), QStringLiteral("oooo[] oooo[] oooo[] oooo[]"));
}

// A unit that is switched off by the walk comes back with the values the operator gave it.
void tst_stationtab::unitKeepsValuesWhileDisabled() {
    clickUnits({1, 2, 3});
    click(child<QRadioButton>("rB_anl_3"));
    QLineEdit *address = child<QLineEdit>("lE_3");
    address->setFocus();
    address->selectAll();
    QTest::keyClicks(address, "42");
    QCOMPARE(address->text(), QStringLiteral("42"));

    clickUnits({2});
    QVERIFY(!address->isEnabled());
    QVERIFY(!child<QRadioButton>("rB_anl_3")->isEnabled());
    QVERIFY(child<QRadioButton>("rB_anl_3")->isChecked());
    QVERIFY(!child<QRadioButton>("rB_dig_3")->isChecked());
    QVERIFY(unitBox(3)->isChecked());

    clickUnits({2});
    QCOMPARE(unitsPicture(), QStringLiteral("C+ C+ C+ c- d- d- d- d-"));
    QCOMPARE(address->text(), QStringLiteral("42"));
    QVERIFY(child<QRadioButton>("rB_anl_3")->isChecked());
}

// Records the order in which widgets change their enabled state.
class EnableRecorder : public QObject {
public:
    QStringList changes;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::EnabledChange) {
            const auto *widget = static_cast<QWidget *>(watched);
            changes << watched->objectName() + (widget->isEnabled() ? "+" : "-");
        }
        return false;
    }
};

void tst_stationtab::cascadeSwitchesInOrder() {
    clickUnits({1, 2, 3});
    EnableRecorder recorder;
    for (QWidget *widget : m_window->findChildren<QWidget *>(QRegularExpression("^(chB_\\d|lE_\\d|rB_(dig|anl)_\\d)$")))
        widget->installEventFilter(&recorder);

    clickUnits({1});
    const QStringList expected = {"lE_1-",  "chB_2-",    "rB_anl_2-", "rB_dig_2-", "lE_2-",
                                  "chB_3-", "rB_anl_3-", "rB_dig_3-", "lE_3-",     "chB_4-"};
    QCOMPARE(recorder.changes, expected);
}

void tst_stationtab::cmRule_data() {
    QTest::addColumn<CmClicks>("clicks");
    QTest::addColumn<QString>("picture");

    QTest::newRow("start") << CmClicks{} << "oooo[] oooo[] oooo[] oooo[]";
    QTest::newRow("СМ1 of channel 1 locks СМ1 elsewhere") << CmClicks{{1, 1}} << "Xooo[1] .ooo[] .ooo[] .ooo[]";
    QTest::newRow("and unchecked again") << CmClicks{{1, 1}, {1, 1}} << "oooo[ ] oooo[] oooo[] oooo[]";
    QTest::newRow("channel 2 СМ2+СМ3") << CmClicks{{2, 2}, {2, 3}} << "o..o[] oXXo[2] o..o[] o..o[]";
    QTest::newRow("channel 2 СМ2 off") << CmClicks{{2, 2}, {2, 3}, {2, 2}} << "oo.o[] ooXo[3] oo.o[] oo.o[]";
    QTest::newRow("channel 2 СМ4 on after")
        << CmClicks{{2, 2}, {2, 3}, {2, 2}, {2, 4}} << "oo..[] ooXX[3] oo..[] oo..[]";
    QTest::newRow("locked box ignores the click") << CmClicks{{1, 2}, {3, 2}} << "oXoo[2] o.oo[] o.oo[] o.oo[]";
    QTest::newRow("released box goes to another channel")
        << CmClicks{{1, 2}, {1, 2}, {3, 2}} << "o.oo[ ] o.oo[] oXoo[2] o.oo[]";
    QTest::newRow("label names the lowest") << CmClicks{{4, 4}, {4, 1}} << ".oo.[] .oo.[] .oo.[] XooX[1]";
    QTest::newRow("lowest off, next one shown") << CmClicks{{1, 1}, {1, 3}, {1, 1}} << "ooXo[3] oo.o[] oo.o[] oo.o[]";
    QTest::newRow("one number per channel")
        << CmClicks{{1, 1}, {2, 2}, {3, 3}, {4, 4}} << "X...[1] .X..[2] ..X.[3] ...X[4]";
    QTest::newRow("all four in one channel, all off")
        << CmClicks{{3, 1}, {3, 2}, {3, 3}, {3, 4}, {3, 4}, {3, 1}, {3, 3}, {3, 2}} << "oooo[] oooo[] oooo[ ] oooo[]";
}

void tst_stationtab::cmRule() {
    QFETCH(CmClicks, clicks);
    QFETCH(QString, picture);
    clickCms(clicks);
    QCOMPARE(channelsPicture(), picture);
    QCOMPARE(unitsPicture(), QStringLiteral("c+ d- d- d- d- d- d- d-"));
}

void tst_stationtab::cmSlotsWiredByName_data() {
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("cm");
    for (int channel = 1; channel <= 4; ++channel) {
        for (int cm = 1; cm <= 4; ++cm)
            QTest::addRow("chB_Chanel%d_CM_%d", channel, cm) << channel << cm;
    }
}

// Each of the sixteen boxes writes its own channel's label and locks its own column, nothing else.
void tst_stationtab::cmSlotsWiredByName() {
    QFETCH(int, channel);
    QFETCH(int, cm);
    QStringList expected;
    for (int k = 1; k <= 4; ++k) {
        QString token;
        for (int y = 1; y <= 4; ++y)
            token += y != cm ? 'o' : (k == channel ? 'X' : '.');
        expected << token + (k == channel ? QStringLiteral("[%1]").arg(cm) : QStringLiteral("[]"));
    }

    clickCms({{channel, cm}});
    QCOMPARE(channelsPicture(), expected.join(' '));

    clickCms({{channel, cm}});
    expected = QStringList{"oooo[]", "oooo[]", "oooo[]", "oooo[]"};
    expected[channel - 1] = QStringLiteral("oooo[ ]");
    QCOMPARE(channelsPicture(), expected.join(' '));
}

void tst_stationtab::pageSwitchKeepsBothPages() {
    auto *pages = child<QStackedWidget>("stackedWidget");
    clickUnits({1, 2, 3, 2});
    click(child<QRadioButton>("rB_anl_1"));
    QLineEdit *address = child<QLineEdit>("lE_1");
    address->setFocus();
    address->selectAll();
    QTest::keyClicks(address, "77");
    const QString units = unitsPicture();
    QCOMPARE(units, QStringLiteral("C+ c- D- d- d- d- d- d-"));

    click(child<QRadioButton>("rb_NChanel"));
    QCOMPARE(pages->currentWidget(), child<QWidget>("page_2"));
    QVERIFY(!child<QWidget>("page")->isVisible());
    clickCms({{2, 1}, {2, 3}});
    const QString channels = channelsPicture();
    QCOMPARE(channels, QStringLiteral(".o.o[] XoXo[1] .o.o[] .o.o[]"));
    QCOMPARE(unitsPicture(), units);

    click(child<QRadioButton>("rb_1Chanel"));
    QCOMPARE(pages->currentWidget(), child<QWidget>("page"));
    QCOMPARE(unitsPicture(), units);
    QCOMPARE(channelsPicture(), channels);
    QCOMPARE(address->text(), QStringLiteral("77"));
    QVERIFY(child<QRadioButton>("rB_anl_1")->isChecked());

    // Clicking the choice that is already made keeps the page.
    click(child<QRadioButton>("rb_1Chanel"));
    QCOMPARE(pages->currentWidget(), child<QWidget>("page"));
    click(child<QRadioButton>("rb_NChanel"));
    QCOMPARE(channelsPicture(), channels);
}

// The slots answer clicks only; code that sets a check mark starts none of them.
void tst_stationtab::programmaticChangeRunsNoSlot() {
    unitBox(1)->setChecked(true);
    child<QRadioButton>("rb_NChanel")->setChecked(true);
    cmBox(1, 1)->setChecked(true);
    QCOMPARE(child<QStackedWidget>("stackedWidget")->currentWidget(), child<QWidget>("page"));
    QCOMPARE(unitsPicture(), QStringLiteral("C+ d- d- d- d- d- d- d-"));
    QCOMPARE(channelsPicture(), QStringLiteral("Xooo[] oooo[] oooo[] oooo[]"));
}

QTEST_MAIN(tst_stationtab)
#include "tst_stationtab.moc"
