#include "mainwindow/mainwindow.h"
#include "serial/serialthread.h"
#include "support/operatorclick.h"
#include "support/ptypair.h"
#include "support/settingstestsupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWindow>
#include <QtTest>

#include <memory>

// What a technician expects of a desktop tool beyond its form: keys that reach the menu entries and the send
// buttons, a title that names the open profile, and the workstation's clock sent as the command goes out.
namespace {

const QString programTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");
const QByteArray lastSecondOf2026 = QByteArray::fromHex("434D4479173B3B1F0C1A");

} // namespace

class tst_comforts : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void shortcuts_data();
    void shortcuts();
    void titleNamesTheProfile();
    void clockGoesAsTheCommandGoes();
    void clockWaitsForTheBusyLink();

private:
    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }
    QString shownTitle() const { return m_window->windowHandle()->title(); }
    void type(const QString &field, const QString &text) const;

    std::unique_ptr<ScopedWorkDir> m_dir;
    std::unique_ptr<MainWindow> m_window;
};

void tst_comforts::init() {
    m_dir = std::make_unique<ScopedWorkDir>();
    QVERIFY(m_dir->isValid());
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QApplication::setActiveWindow(m_window.get());
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
}

void tst_comforts::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void tst_comforts::type(const QString &field, const QString &text) const {
    auto *edit = child<QLineEdit>(field);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    edit->home(false);
    QTest::keyClicks(edit, text);
}

void tst_comforts::shortcuts_data() {
    QTest::addColumn<int>("tab");
    QTest::addColumn<QString>("focus"); // the widget that holds the keyboard focus
    QTest::addColumn<QKeySequence>("keys");
    QTest::addColumn<QString>("effect");

    // This test program has no manual beside it, so F1 ends in the notice that says so.
    QTest::newRow("F1 on the station tab") << 0 << "lE_1" << QKeySequence(Qt::Key_F1) << "manual";
    QTest::newRow("F1 on the meter tab") << 2 << "rB_Not_El_Counter" << QKeySequence(Qt::Key_F1) << "manual";
    QTest::newRow("Ctrl+Q") << 1 << "lE_Time" << QKeySequence(Qt::CTRL | Qt::Key_Q) << "quit";
    QTest::newRow("Ctrl+Return, station tab, in an address")
        << 0 << "lE_1" << QKeySequence(Qt::CTRL | Qt::Key_Return) << "434D4477 00 00000000";
    QTest::newRow("Ctrl+Return, clock tab, in the time")
        << 1 << "lE_Time" << QKeySequence(Qt::CTRL | Qt::Key_Return) << "434D4479 000000 010111";
    QTest::newRow("Ctrl+Enter on the keypad, meter tab")
        << 2 << "rB_Not_El_Counter" << QKeySequence(Qt::CTRL | Qt::KeypadModifier | Qt::Key_Enter)
        << "434D447A 00 00000000 0000";
}

// Each key is pressed in the shown window, in the field that has the focus, as an operator would press it.
void tst_comforts::shortcuts() {
    QFETCH(int, tab);
    QFETCH(QString, focus);
    QFETCH(QKeySequence, keys);
    QFETCH(QString, effect);
    child<QTabWidget>("tabWidget")->setCurrentIndex(tab);
    QWidget *field = child<QWidget>(focus);
    field->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), field);
    QSignalSpy sent(m_window.get(), &MainWindow::signal_data_send);
    QSignalSpy quit(m_window.get(), &MainWindow::signal_quit);
    const int combined = keys[0];
    QTest::keyClick(field, Qt::Key(combined & ~Qt::KeyboardModifierMask),
                    Qt::KeyboardModifiers(combined & Qt::KeyboardModifierMask));

    const QString notice = child<QLabel>("noticeLabel")->text();
    QCOMPARE(notice.startsWith(QStringLiteral("Руководство пользователя не найдено")), effect == "manual");
    QCOMPARE(quit.count(), effect == "quit" ? 1 : 0);
    const bool sends = effect != "manual" && effect != "quit";
    QCOMPARE(sent.count(), sends ? 1 : 0);
    if (sends)
        QCOMPARE(sent.first().first().toByteArray().toHex(), QByteArray::fromHex(effect.toLatin1()).toHex());
}

// The specified title until a profile is opened or saved; then the profile's name, with "*" while the tabs show
// something else than it holds.
void tst_comforts::titleNamesTheProfile() {
    QCOMPARE(shownTitle(), programTitle);
    type("lE_Time", "111111");
    QCOMPARE(shownTitle(), programTitle);

    QVERIFY(m_window->saveProfile("station.ini"));
    QCOMPARE(shownTitle(), "station.ini — " + programTitle);
    type("lE_Time", "121212");
    QCOMPARE(shownTitle(), "station.ini* — " + programTitle);
    operatorClick(child<QWidget>("rb_NChanel"));
    QCOMPARE(shownTitle(), "station.ini* — " + programTitle);
    // Back to what the profile holds: nothing is unsaved.
    type("lE_Time", "111111");
    operatorClick(child<QWidget>("rb_1Chanel"));
    QCOMPARE(shownTitle(), "station.ini — " + programTitle);

    QVERIFY(writeFileBytes("other.ini", "version=1\n[time]\ntime=01:02:03\n"));
    QVERIFY(m_window->openProfile("other.ini"));
    QCOMPARE(shownTitle(), "other.ini — " + programTitle);
    child<QTabWidget>("tabWidget")->setCurrentIndex(2);
    operatorClick(child<QWidget>("rB_Imp_el_counter"));
    QCOMPARE(shownTitle(), "other.ini* — " + programTitle);
    // A profile that does not open changes nothing, the title included.
    QVERIFY(writeFileBytes("bad.ini", "version=1\n[time]\ntime=25:00:00\n"));
    QVERIFY(!m_window->openProfile("bad.ini"));
    QCOMPARE(shownTitle(), "other.ini* — " + programTitle);
}

// The workstation's clock goes as the command goes, one reading for time and date, and the fields stay as they are.
void tst_comforts::clockGoesAsTheCommandGoes() {
    int readings = 0;
    m_window->setClock([&readings] {
        ++readings;
        return QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
    });
    child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    QSignalSpy sent(m_window.get(), &MainWindow::signal_data_send);
    operatorClick(child<QWidget>("pB_Send_Clock"));
    QCOMPARE(sent.count(), 1);
    QCOMPARE(sent.first().first().toByteArray().toHex(), lastSecondOf2026.toHex());
    QCOMPARE(readings, 1);
    QCOMPARE(child<QLineEdit>("lE_Time")->text() + ' ' + child<QLineEdit>("lE_Date")->text(),
             QStringLiteral("00:00:00 01/01/2017"));
}

// While the link is busy with an earlier command, the clock is read once that command is done, not at the press.
void tst_comforts::clockWaitsForTheBusyLink() {
    PtyPair line; // a controller that never answers: the first command holds the link for its second of waiting
    QVERIFY(!line.path().isEmpty());
    SerialThread worker;
    worker.com_auto = false;
    worker.com_port = line.path();
    m_window->attachLink(&worker);
    QElapsedTimer clock;
    clock.start();
    qint64 readAt = -1;
    m_window->setClock([&] {
        readAt = clock.elapsed();
        return QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
    });
    qint64 firstDone = -1;
    connect(&worker, &SerialThread::signal_transmission_finished, this, [&] {
        if (firstDone < 0)
            firstDone = clock.elapsed();
    });
    QSignalSpy sent(m_window.get(), &MainWindow::signal_data_send);
    child<QTabWidget>("tabWidget")->setCurrentIndex(1);
    operatorClick(child<QWidget>("pB_Send_2"));
    operatorClick(child<QWidget>("pB_Send_Clock"));
    QCOMPARE(sent.count(), 1);
    QCOMPARE(readAt, qint64(-1));
    QTRY_COMPARE_WITH_TIMEOUT(sent.count(), 2, 5000);
    QVERIFY(firstDone >= 0);
    QVERIFY2(readAt >= firstDone, qPrintable(QString::number(readAt) + " < " + QString::number(firstDone)));
    QCOMPARE(sent.last().first().toByteArray().toHex(), lastSecondOf2026.toHex());
    worker.slot_cancel();
}

QTEST_MAIN(tst_comforts)
#include "tst_comforts.moc"
