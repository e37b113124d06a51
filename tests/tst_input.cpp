#include "app/settingsfile.h"
#include "mainwindow/mainwindow.h"
#include "serial/serialthread.h"
#include "support/operatorclick.h"
#include "support/ptypair.h"

#include <QClipboard>
#include <QLineEdit>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

#include <memory>
#include <utility>

namespace {

const QByteArray probe = QByteArrayLiteral("ZEVR-3G-Config");
// Sent after each case on the same line: whatever the case put on the line stands before it.
const QByteArray marker = QByteArray::fromHex("434D4479 000000 010111");

// One key event per character, carrying the character as a keyboard layout sends it (QTest::keyClicks would
// pass it through Latin-1).
void type(QWidget *widget, const QString &text) {
    for (QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QString refusal(const QString &field, const QString &problem) {
    return QStringLiteral("Команда не отправлена: %1 — %2").arg(field, problem);
}

QString tooLarge(const char *address) {
    return refusal("адрес БУ2", QStringLiteral("%1 больше 255 и не помещается в команду").arg(address));
}

QString badYear(const QString &field, const char *year) {
    return refusal(field, QStringLiteral("год %1 вне диапазона 2000–2255").arg(year));
}

void typeRow(const char *name, const QStringList &steps, const QString &text) { QTest::newRow(name) << steps << text; }

void sendRow(const char *name, const QStringList &steps, const char *button, const QString &refusal,
             const char *command = "") {
    QTest::newRow(name) << steps << QString(button) << refusal << QByteArray::fromHex(command);
}

} // namespace

// What the operator types, pastes or has the clock fill in is what reaches the line, or nothing does. The
// program runs as on a workstation whose system locale writes Arabic-Indic digits (see main()).
class tst_input : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup() { m_window.reset(); }
    void typing_data();
    void typing();
    void sending_data();
    void sending();

private:
    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }
    void perform(const QString &step) const;
    void perform(const QStringList &steps) const {
        for (const QString &step : steps)
            perform(step);
    }

    std::unique_ptr<MainWindow> m_window;
};

void tst_input::initTestCase() {
    QCOMPARE(QLocale::system().zeroDigit(), QChar(0x0660));
    QCOMPARE(QLocale().zeroDigit(), QChar(0x0660));
}

void tst_input::init() {
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

// "#n" opens tab n; "clock" presses "Текущее время и дата" with the clock at the last millisecond of 2026, one
// millisecond later at each reading. "name=text" types into an emptied field, "name+=text" pastes into it,
// "name:=text" is the program setting the text; any other step clicks the widget of that name.
void tst_input::perform(const QString &step) const {
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
    QString name = step.left(equals);
    const QChar how = name.back();
    if (how == ':' || how == '+')
        name.chop(1);
    const QString text = step.mid(equals + 1);
    QLineEdit *edit = child<QLineEdit>(name);
    if (how == ':')
        return edit->setText(text);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    edit->home(false);
    if (how != '+')
        return type(edit, text);
    QApplication::clipboard()->setText(text);
    QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
}

void tst_input::typing_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("text"); // of the field of the last step

    const QStringList meter{"#2", "rB_Imp_el_counter"};
    typeRow("code: Cyrillic А", {"lE_Kod_Ch_1=А"}, "");
    typeRow("code: Latin b", {"lE_Kod_Ch_1=b"}, "b");
    typeRow("code: Cyrillic А pasted", {"lE_Kod_Ch_2+=А"}, "");
    typeRow("serial: Arabic-Indic", {"lE_Nom_Ch_1=١٢٣"}, "");
    typeRow("serial: full-width", {"lE_Nom_Ch_2=１２３"}, "");
    typeRow("serial: each digit on its own", {"lE_Nom_Ch_3=1١2٣3"}, "123");
    typeRow("serial: Arabic-Indic pasted", {"lE_Nom_Ch_4+=١٢٣"}, "");
    typeRow("serial: ASCII pasted", {"lE_Nom_Ch_4+=987"}, "987");
    typeRow("channel date: Arabic-Indic", {"lE_Date_Ch_2=١٢٣"}, "//");
    typeRow("channel date: ASCII", {"lE_Date_Ch_2=15062016"}, "15/06/2016");
    typeRow("date: Arabic-Indic", {"#1", "lE_Date=١٢٣"}, "//");
    typeRow("time: Arabic-Indic, then ASCII", {"#1", "lE_Time=١2٢3"}, "23::");
    typeRow("meter reading: Arabic-Indic", meter + QStringList{"lE_current_val_el_counter=١٢٣"}, ".");
    typeRow("meter reading: ASCII", meter + QStringList{"lE_current_val_el_counter=12345678"}, "1234567.8");
    typeRow("meter constant: full-width", meter + QStringList{"lE_coef_el_counter=３２"}, "");
    typeRow("address: Arabic-Indic", {"lE_1=١٢٣"}, "");
    typeRow("address: full-width pasted", {"lE_1+=１２"}, "");
    typeRow("address: sign and group separator", {"lE_1=+1,5"}, "15");
    // Three digits above 250 stand; the command refuses what its byte cannot carry.
    typeRow("address: 300 stands", {"chB_1", "chB_2", "lE_2=300"}, "300");
}

// Refused characters are refused one by one as they come, the way a mask refuses a digit in a letter position;
// the same keys with ASCII text go in, so the refusal is not the field ignoring keys.
void tst_input::typing() {
    QFETCH(QStringList, steps);
    perform(steps);
    const QString name = steps.last().section('=', 0, 0).remove('+');
    QTEST(child<QLineEdit>(name)->text(), "text");
}

void tst_input::sending_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("refusal"); // empty when the command goes out
    QTest::addColumn<QByteArray>("command");

    const QStringList units{"chB_1", "chB_2"};
    for (const char *address : {"256", "300", "999"})
        sendRow(address, units + QStringList{QStringLiteral("lE_2=") + address}, "pB_Send_1", tooLarge(address));
    sendRow("address 255 goes out", units + QStringList{"lE_2=255"}, "pB_Send_1", {}, "434D4477 02 6FFF 00000000");
    sendRow("year 1999", {"#1", "lE_Date=01011999"}, "pB_Send_2", badYear("дата", "1999"));
    sendRow("year 2256", {"#1", "lE_Date=01012256"}, "pB_Send_2", badYear("дата", "2256"));
    sendRow("day 99 goes out", {"#1", "lE_Date=99012017"}, "pB_Send_2", {}, "434D4479 000000 630111");
    sendRow("channel year 1999", {"rb_NChanel", "lE_Date_Ch_2=01011999"}, "pB_Send_1",
            badYear("дата выпуска канала 2", "1999"));
    sendRow("channel year 2256", {"rb_NChanel", "lE_Date_Ch_4=31122256"}, "pB_Send_1",
            badYear("дата выпуска канала 4", "2256"));
    sendRow("code set by the program", {"rb_NChanel", "lE_Kod_Ch_3:=А"}, "pB_Send_1",
            refusal("код подразделения канала 3", "«А»: нужна одна латинская буква A–Z или a–z"));
    // One reading of the clock, in ASCII digits: a second reading would already be in 2027.
    sendRow("clock", {"#1", "clock"}, "pB_Send_2", {}, "434D4479 173B3B 1F0C1A");
}

// Through the window and the link worker to a pseudo-terminal, wired as the program wires them; with logging on,
// every status text is logged. A refused command shows and logs its reason, and the worker never hears of it:
// no port opened, no probe.
void tst_input::sending() {
    QFETCH(QStringList, steps);
    QFETCH(QString, button);
    QFETCH(QString, refusal);
    QFETCH(QByteArray, command);
    PtyPair device;
    device.answerEachProbe("ZEVR-3G");
    SerialThread worker;
    worker.com_auto = false;
    worker.com_port = device.portName();
    MainWindow *window = m_window.get();
    connect(window, &MainWindow::signal_data_send, &worker, &SerialThread::slot_data_send);
    connect(&worker, &SerialThread::signal_port_opend, window, &MainWindow::slot_port_opend);
    connect(&worker, &SerialThread::signal_port_notopend, window, &MainWindow::slot_port_notopend);
    connect(&worker, &SerialThread::signal_show_message, window, &MainWindow::slot_show_message);
    QSignalSpy logged(window, &MainWindow::signal_write_to_log_file);
    com_log = 1;
    const auto waitForLines = [&logged](int count) {
        while (logged.size() < count && logged.wait(5000)) {
        }
        QStringList lines;
        for (const QList<QVariant> &line : std::as_const(logged))
            lines << line.first().toString();
        return lines;
    };

    perform(steps);
    perform(button);
    const QString port = device.portName();
    const QStringList sent{QStringLiteral("Открыт %1-115200-8-0-1-Нет").arg(port), "Обнаружено устройство",
                           "Отправка сообщения", QStringLiteral("Отправлено. %1 закрыт").arg(port)};
    const QStringList reports = refusal.isEmpty() ? sent : QStringList{refusal};
    QCOMPARE(waitForLines(reports.size()), reports);
    QCOMPARE(window->statusBar()->currentMessage(), reports.last());

    worker.slot_data_send(marker);
    QCOMPARE(waitForLines(reports.size() + sent.size()), reports + sent);
    const QByteArray line = (command.isEmpty() ? QByteArray() : probe + command) + probe + marker;
    QVERIFY(device.waitForReceived(line.size(), 2000));
    QCOMPARE(device.received().toHex(' '), line.toHex(' '));
}

// Qt reads the system locale from the environment once, so the workstation is set before the application.
int main(int argc, char **argv) {
    qputenv("LC_ALL", "ar_EG.UTF-8");
    QApplication app(argc, argv);
    tst_input test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_input.moc"
