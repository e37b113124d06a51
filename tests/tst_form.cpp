#include "app/mainwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QValidator>
#include <QtTest>

#include <memory>

// The window as the operator first sees it: the names that the slots and the commands rely on,
// the starting values, the address limits and the pulse-meter fields.
class tst_form : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void namedObjects_data();
    void namedObjects();
    void lineEdits_data();
    void lineEdits();
    void buttonStates_data();
    void buttonStates();
    void windowStart();
    void tabsPagesAndMenus();
    void channelGroups();
    void modeButtonsExclusivePerGroup();
    void addressValidatorShared();
    void addressValidator_data();
    void addressValidator();
    void addressTyping_data();
    void addressTyping();
    void meterFields_data();
    void meterFields();

private:
    template <typename T> T *child(const QString &name) const;
    void showWindow() const;
    void clickIndicator(QAbstractButton *button) const;

    std::unique_ptr<MainWindow> m_window;
};

void tst_form::init() { m_window = std::make_unique<MainWindow>(); }

void tst_form::cleanup() { m_window.reset(); }

template <typename T> T *tst_form::child(const QString &name) const { return m_window->findChild<T *>(name); }

// Only a shown widget takes the operator's clicks and keys the way it does on screen.
void tst_form::showWindow() const {
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// Clicks where the operator would: on the round or square indicator of the button.
void tst_form::clickIndicator(QAbstractButton *button) const {
    QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
    QStyleOptionButton option;
    option.initFrom(button);
    const bool box = qobject_cast<QCheckBox *>(button) != nullptr;
    const QRect indicator = button->style()->subElementRect(
        box ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option, button);
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, indicator.center());
}

static void addNamed(const QString &name, const char *className) {
    QTest::newRow(qPrintable(name)) << name << QByteArray(className);
}

void tst_form::namedObjects_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");
    for (const char *name :
         {"rb_1Chanel", "rb_NChanel", "rB_Not_El_Counter", "rB_Imp_el_counter", "rB_RS485_el_counter"})
        addNamed(name, "QRadioButton");
    for (int n = 1; n <= 8; ++n) {
        addNamed(QStringLiteral("groupBox_%1").arg(n), "QGroupBox");
        addNamed(QStringLiteral("chB_%1").arg(n), "QCheckBox");
        addNamed(QStringLiteral("lE_%1").arg(n), "QLineEdit");
        addNamed(QStringLiteral("rB_dig_%1").arg(n), "QRadioButton");
        addNamed(QStringLiteral("rB_anl_%1").arg(n), "QRadioButton");
    }
    for (int k = 1; k <= 4; ++k) {
        addNamed(QStringLiteral("grB_Chanel_%1").arg(k), "QGroupBox");
        for (int y = 1; y <= 4; ++y)
            addNamed(QStringLiteral("chB_Chanel%1_CM_%2").arg(k).arg(y), "QCheckBox");
        addNamed(QStringLiteral("lb_Adr_Chanel_%1").arg(k), "QLabel");
        for (const char *field : {"lE_Date_Ch_%1", "lE_Kod_Ch_%1", "lE_Nom_Ch_%1"})
            addNamed(QString::fromLatin1(field).arg(k), "QLineEdit");
    }
    for (const char *name : {"lE_Time", "lE_Date", "lE_current_val_el_counter", "lE_coef_el_counter"})
        addNamed(name, "QLineEdit");
    for (const char *name : {"pB_Send_1", "pB_Send_2", "pB_Send_3", "pB_Current_DateTime"})
        addNamed(name, "QPushButton");
    for (const char *name : {"action_settings", "action_exit", "action_about", "action_re"})
        addNamed(name, "QAction");
    for (const char *name : {"tab", "tab_2", "tab_3", "page", "page_2", "centralWidget"})
        addNamed(name, "QWidget");
    addNamed("tabWidget", "QTabWidget");
    addNamed("stackedWidget", "QStackedWidget");
    addNamed("statusBar", "QStatusBar");
    addNamed("menuBar", "QMenuBar");
    addNamed("menu", "QMenu");
    addNamed("menu_2", "QMenu");
}

// Slots bound by name and the commands find their widgets by these names, so each must exist once.
void tst_form::namedObjects() {
    QFETCH(QString, name);
    QFETCH(QByteArray, className);
    const QList<QObject *> found = m_window->findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QByteArray(found.first()->metaObject()->className()), className);
}

void tst_form::lineEdits_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<int>("minWidth");
    QTest::addColumn<int>("maxWidth");
    QTest::addColumn<bool>("frame");
    QTest::addColumn<bool>("rightAligned");
    QTest::addColumn<bool>("enabled");

    const int defaultLength = 32767;
    for (int n = 1; n <= 8; ++n) {
        const QString name = QStringLiteral("lE_%1").arg(n);
        QTest::newRow(qPrintable(name)) << name << QString() << QString::number(110 + n) << defaultLength << 0 << 50
                                        << true << false << (n == 1);
    }
    for (int k = 1; k <= 4; ++k) {
        const QString date = QStringLiteral("lE_Date_Ch_%1").arg(k);
        const QString code = QStringLiteral("lE_Kod_Ch_%1").arg(k);
        const QString number = QStringLiteral("lE_Nom_Ch_%1").arg(k);
        QTest::newRow(qPrintable(date)) << date << "99/99/9999"
                                        << "01/01/2017" << 10 << 90 << 90 << false << true << true;
        QTest::newRow(qPrintable(code)) << code << "A"
                                        << "A" << 1 << 60 << 60 << false << true << true;
        QTest::newRow(qPrintable(number)) << number << "00000"
                                          << "01234" << 5 << 60 << 60 << false << true << true;
    }
    QTest::newRow("lE_Time") << "lE_Time"
                             << "99:99:99"
                             << "00:00:00" << 8 << 0 << 100 << true << true << true;
    QTest::newRow("lE_Date") << "lE_Date"
                             << "99/99/9999"
                             << "01/01/2017" << 10 << 0 << 100 << true << true << true;
    QTest::newRow("meter value") << "lE_current_val_el_counter"
                                 << "9999999.9"
                                 << "0000000.0" << 9 << 0 << 100 << true << true << false;
    QTest::newRow("meter coefficient") << "lE_coef_el_counter"
                                       << "00000"
                                       << "3200" << 5 << 0 << 100 << true << true << false;
}

void tst_form::lineEdits() {
    QFETCH(QString, name);
    QFETCH(QString, mask);
    QFETCH(QString, text);
    QFETCH(int, maxLength);
    QFETCH(int, minWidth);
    QFETCH(int, maxWidth);
    QFETCH(bool, frame);
    QFETCH(bool, rightAligned);
    QFETCH(bool, enabled);

    const QLineEdit *edit = child<QLineEdit>(name);
    QVERIFY(edit);
    QCOMPARE(edit->inputMask(), mask);
    QCOMPARE(edit->text(), text);
    QCOMPARE(edit->maxLength(), maxLength);
    QCOMPARE(edit->minimumWidth(), minWidth);
    QCOMPARE(edit->maximumWidth(), maxWidth);
    QCOMPARE(edit->hasFrame(), frame);
    QCOMPARE(edit->alignment(), rightAligned ? Qt::AlignRight | Qt::AlignVCenter : Qt::AlignLeft | Qt::AlignVCenter);
    QCOMPARE(edit->isEnabled(), enabled);
    QCOMPARE(edit->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(edit->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
}

void tst_form::buttonStates_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checked");

    QTest::newRow("rb_1Chanel") << "rb_1Chanel"
                                << "Одноканальная" << true << true;
    QTest::newRow("rb_NChanel") << "rb_NChanel"
                                << "Многоканальная" << true << false;
    for (int n = 1; n <= 8; ++n) {
        const bool first = n == 1;
        const QString box = QStringLiteral("chB_%1").arg(n);
        const QString digital = QStringLiteral("rB_dig_%1").arg(n);
        const QString analog = QStringLiteral("rB_anl_%1").arg(n);
        QTest::newRow(qPrintable(box)) << box << QStringLiteral("БУ%1").arg(n) << first << false;
        QTest::newRow(qPrintable(digital)) << digital << "GSM/RS-485" << first << true;
        QTest::newRow(qPrintable(analog)) << analog << "4-20 мА" << first << false;
    }
    for (int k = 1; k <= 4; ++k) {
        for (int y = 1; y <= 4; ++y) {
            const QString box = QStringLiteral("chB_Chanel%1_CM_%2").arg(k).arg(y);
            QTest::newRow(qPrintable(box)) << box << QStringLiteral("СМ%1").arg(y) << true << false;
        }
    }
    QTest::newRow("rB_Not_El_Counter") << "rB_Not_El_Counter"
                                       << "Не подключен" << true << true;
    QTest::newRow("rB_Imp_el_counter") << "rB_Imp_el_counter"
                                       << "Импульсный" << true << false;
    QTest::newRow("rB_RS485_el_counter") << "rB_RS485_el_counter"
                                         << "RS485 выход" << true << false;
    for (const char *send : {"pB_Send_1", "pB_Send_2", "pB_Send_3"})
        QTest::newRow(send) << send << "Отправить" << true << false;
    QTest::newRow("pB_Current_DateTime") << "pB_Current_DateTime"
                                         << "Текущее время и дата" << true << false;
}

void tst_form::buttonStates() {
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, checked);

    const QAbstractButton *button = child<QAbstractButton>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), text);
    QCOMPARE(button->isEnabled(), enabled);
    QCOMPARE(button->isChecked(), checked);
}

void tst_form::windowStart() {
    QCOMPARE(m_window->windowTitle(), QStringLiteral("ЗЕВР-3G-Config v.1.2"));
    QCOMPARE(m_window->statusBar(), child<QStatusBar>("statusBar"));
    QVERIFY(m_window->statusBar()->currentMessage().isEmpty());
    QCOMPARE(m_window->centralWidget(), child<QWidget>("centralWidget"));
    for (int k = 1; k <= 4; ++k) {
        const QLabel *address = child<QLabel>(QStringLiteral("lb_Adr_Chanel_%1").arg(k));
        QVERIFY(address->text().isEmpty());
        QCOMPARE(address->font().pointSize(), 10);
        QVERIFY(address->font().bold());
        QVERIFY(address->font().italic());
    }
    // Captions and group boxes stay usable even where their unit starts disabled.
    QVERIFY(child<QGroupBox>("groupBox_8")->isEnabled());
    QVERIFY(child<QLabel>("label_8")->isEnabled());
}

void tst_form::tabsPagesAndMenus() {
    const auto *tabs = child<QTabWidget>("tabWidget");
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->currentIndex(), 0);
    const char *tabNames[] = {"tab", "tab_2", "tab_3"};
    const QStringList titles = {"СКЗ", "Время", "Эл. счетчик"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tabs->widget(i)->objectName(), QString::fromLatin1(tabNames[i]));
        QCOMPARE(tabs->tabText(i), titles.at(i));
    }

    const auto *pages = child<QStackedWidget>("stackedWidget");
    QCOMPARE(pages->count(), 2);
    QCOMPARE(pages->currentWidget(), child<QWidget>("page"));
    QCOMPARE(pages->widget(1), child<QWidget>("page_2"));

    const QList<QAction *> menus = m_window->menuBar()->actions();
    QCOMPARE(menus.size(), 2);
    QCOMPARE(menus.at(0)->menu(), child<QMenu>("menu"));
    QCOMPARE(menus.at(1)->menu(), child<QMenu>("menu_2"));
    const QList<QPair<QMenu *, QStringList>> contents = {
        {child<QMenu>("menu"), {"Файл", "action_settings", "Настройки связи", "action_exit", "Выход"}},
        {child<QMenu>("menu_2"), {"Справка", "action_about", "О программе", "action_re", "Справка"}}};
    for (const auto &entry : contents) {
        QStringList seen = {entry.first->title()};
        for (const QAction *action : entry.first->actions())
            seen << action->objectName() << action->text();
        QCOMPARE(seen, entry.second);
    }
}

void tst_form::channelGroups() {
    for (int k = 1; k <= 4; ++k) {
        const QGroupBox *group = child<QGroupBox>(QStringLiteral("grB_Chanel_%1").arg(k));
        QCOMPARE(group->title(), QStringLiteral("Канал %1").arg(k));
        QCOMPARE(group->parentWidget(), child<QWidget>("page_2"));
    }
}

// Each unit's pair of mode buttons must be exclusive on its own, apart from the page choice.
void tst_form::modeButtonsExclusivePerGroup() {
    showWindow();
    clickIndicator(child<QRadioButton>("rB_anl_1"));
    QVERIFY(child<QRadioButton>("rB_anl_1")->isChecked());
    QVERIFY(!child<QRadioButton>("rB_dig_1")->isChecked());
    QVERIFY(child<QRadioButton>("rB_dig_2")->isChecked());
    QVERIFY(child<QRadioButton>("rb_1Chanel")->isChecked());
}

void tst_form::addressValidatorShared() {
    const QValidator *shared = child<QLineEdit>("lE_1")->validator();
    QVERIFY(shared);
    for (int n = 2; n <= 8; ++n)
        QCOMPARE(child<QLineEdit>(QStringLiteral("lE_%1").arg(n))->validator(), shared);
}

void tst_form::addressValidator_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("acceptable");
    for (int n = 1; n <= 8; ++n) {
        for (const auto &[input, acceptable] : {std::pair<const char *, bool>{"1", true},
                                                {"250", true},
                                                {"0", false},
                                                {"251", false},
                                                {"abc", false},
                                                {"", false}}) {
            QTest::addRow("lE_%d \"%s\"", n, input) << n << QString::fromLatin1(input) << acceptable;
        }
    }
}

void tst_form::addressValidator() {
    QFETCH(int, field);
    QFETCH(QString, input);
    QFETCH(bool, acceptable);
    const QValidator *validator = child<QLineEdit>(QStringLiteral("lE_%1").arg(field))->validator();
    QVERIFY(validator);
    int position = input.size();
    QCOMPARE(validator->validate(input, position) == QValidator::Acceptable, acceptable);
}

void tst_form::addressTyping_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<bool>("acceptable");
    QTest::newRow("1") << "1"
                       << "1" << true;
    QTest::newRow("250") << "250"
                         << "250" << true;
    QTest::newRow("0") << "0"
                       << "0" << false;
    QTest::newRow("251") << "251"
                         << "251" << false;
    QTest::newRow("four digits stop at three") << "2500"
                                               << "250" << true;
    QTest::newRow("letters refused") << "1x2"
                                     << "12" << true;
}

void tst_form::addressTyping() {
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(bool, acceptable);
    showWindow();
    QLineEdit *edit = child<QLineEdit>("lE_1");
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QVERIFY(edit->text().isEmpty());
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
    QCOMPARE(edit->hasAcceptableInput(), acceptable);
}

void tst_form::meterFields_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("pulse meter") << QStringList{"rB_Imp_el_counter"} << true;
    QTest::newRow("pulse, then none") << QStringList{"rB_Imp_el_counter", "rB_Not_El_Counter"} << false;
    QTest::newRow("pulse, then RS485") << QStringList{"rB_Imp_el_counter", "rB_RS485_el_counter"} << false;
    QTest::newRow("RS485 only") << QStringList{"rB_RS485_el_counter"} << false;
    QTest::newRow("RS485, then pulse") << QStringList{"rB_RS485_el_counter", "rB_Imp_el_counter"} << true;
}

void tst_form::meterFields() {
    QFETCH(QStringList, clicks);
    QFETCH(bool, enabled);
    showWindow();
    auto *tabs = child<QTabWidget>("tabWidget");
    auto *bar = tabs->findChild<QTabBar *>();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->tabRect(2).center());
    QCOMPARE(tabs->currentWidget(), child<QWidget>("tab_3"));

    for (const QString &name : clicks)
        clickIndicator(child<QRadioButton>(name));
    QVERIFY(child<QRadioButton>(clicks.last())->isChecked());
    QCOMPARE(child<QLineEdit>("lE_current_val_el_counter")->isEnabled(), enabled);
    QCOMPARE(child<QLineEdit>("lE_coef_el_counter")->isEnabled(), enabled);
}

QTEST_MAIN(tst_form)
#include "tst_form.moc"
