#include "app/applog.h"
#include "app/mainwindow.h"
#include "app/settingsfile.h"
#include "support/settingstestsupport.h"

#include <QStatusBar>
#include <QTimer>
#include <QtTest>

namespace {

enum class Report { Opened, NotOpened, Message };

void send(MainWindow &window, Report report, const QString &name, int baud, int lenght, int parity, int stopbit) {
    switch (report) {
    case Report::Opened:
        window.slot_port_opend(name, baud, lenght, quint8(parity), stopbit, QStringLiteral("Нет"));
        break;
    case Report::NotOpened:
        window.slot_port_notopend(name);
        break;
    case Report::Message:
        window.slot_show_message(name);
        break;
    }
}

void runEventLoop(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

Q_DECLARE_METATYPE(Report)

class tst_statusdisplay : public QObject {
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void messageHasNoTimeout();
    void laterReportReplacesEarlier();
    void comLogGating_data();
    void comLogGating();
    void linesReachTheLogFile();
};

void tst_statusdisplay::texts_data() {
    QTest::addColumn<Report>("report");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("lenght");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbit");
    QTest::addColumn<QString>("text");

    QTest::newRow("opened") << Report::Opened << "COM3" << 115200 << 8 << 0 << 1 << "Открыт COM3-115200-8-0-1-Нет";
    QTest::newRow("opened, even parity as a digit")
        << Report::Opened << "COM12" << 9600 << 7 << 2 << 2 << "Открыт COM12-9600-7-2-2-Нет";
    QTest::newRow("opened, odd parity") << Report::Opened << "COM1" << 2400 << 8 << 3 << 1
                                        << "Открыт COM1-2400-8-3-1-Нет";
    QTest::newRow("opened, empty name") << Report::Opened << "" << 115200 << 8 << 0 << 1 << "Открыт -115200-8-0-1-Нет";
    QTest::newRow("opened, baud 0 from a bad file")
        << Report::Opened << "/dev/ttyUSB0" << 0 << 7 << 3 << 2 << "Открыт /dev/ttyUSB0-0-7-3-2-Нет";
    QTest::newRow("not opened") << Report::NotOpened << "COM3" << 0 << 0 << 0 << 0 << "COM3  не открыт";
    QTest::newRow("not opened, empty name") << Report::NotOpened << "" << 0 << 0 << 0 << 0 << "  не открыт";
    QTest::newRow("message") << Report::Message << "Устройство не обнаружено" << 0 << 0 << 0 << 0
                             << "Устройство не обнаружено";
    QTest::newRow("message kept as it is")
        << Report::Message << "Отправлено. COM3 закрыт" << 0 << 0 << 0 << 0 << "Отправлено. COM3 закрыт";
    QTest::newRow("empty message") << Report::Message << "" << 0 << 0 << 0 << 0 << "";
}

void tst_statusdisplay::texts() {
    QFETCH(Report, report);
    QFETCH(QString, name);
    QFETCH(int, baud);
    QFETCH(int, lenght);
    QFETCH(int, parity);
    QFETCH(int, stopbit);
    QFETCH(QString, text);
    MainWindow window;
    window.statusBar()->showMessage(QStringLiteral("earlier"));
    QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
    com_log = 1;

    send(window, report, name, baud, lenght, parity, stopbit);
    QCOMPARE(window.statusBar()->currentMessage(), text);
    QCOMPARE(logged.count(), 1);
    QCOMPARE(logged.at(0).at(0).toString(), text);
}

void tst_statusdisplay::messageHasNoTimeout() {
    MainWindow window;
    window.show();
    com_log = 0;
    window.slot_show_message(QStringLiteral("Обнаружено устройство"));
    // The status bar runs a timer only for a message with a timeout.
    for (const QTimer *timer : window.statusBar()->findChildren<QTimer *>())
        QVERIFY(!timer->isActive());
    runEventLoop(1500);
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Обнаружено устройство"));
}

void tst_statusdisplay::laterReportReplacesEarlier() {
    MainWindow window;
    QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
    com_log = 1;
    window.slot_port_opend(QStringLiteral("COM3"), 115200, 8, 0, 1, QStringLiteral("Нет"));
    window.slot_show_message(QStringLiteral("Устройство не обнаружено"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Устройство не обнаружено"));
    QCOMPARE(logged.count(), 2);
    QCOMPARE(logged.at(0).at(0).toString(), QStringLiteral("Открыт COM3-115200-8-0-1-Нет"));
    QCOMPARE(logged.at(1).at(0).toString(), QStringLiteral("Устройство не обнаружено"));
}

void tst_statusdisplay::comLogGating_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("logged");
    QTest::newRow("1 logs") << QByteArray("COM Log\r\n1\r\n") << true;
    QTest::newRow("0 does not") << QByteArray("COM Log\r\n0\r\n") << false;
    QTest::newRow("2 does not") << QByteArray("COM Log\r\n2\r\n") << false;
    QTest::newRow("257 is 1 in eight bits") << QByteArray("COM Log\r\n257\r\n") << true;
    QTest::newRow("not a number does not") << QByteArray("COM Log\r\non\r\n") << false;
    QTest::newRow("missing key does not") << QByteArray("Parity\r\nnone\r\n") << false;
}

void tst_statusdisplay::comLogGating() {
    QFETCH(QByteArray, content);
    QFETCH(bool, logged);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), content));
    com_log = 0;
    load_com_log();

    MainWindow window;
    QSignalSpy spy(&window, &MainWindow::signal_write_to_log_file);
    window.slot_port_notopend(QStringLiteral("COM5"));
    window.slot_show_message(QStringLiteral("Отправка сообщения"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Отправка сообщения"));
    QCOMPARE(spy.count(), logged ? 2 : 0);
}

// The window hands its lines to the process-wide log, which writes them under the working directory.
void tst_statusdisplay::linesReachTheLogFile() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkdir(QStringLiteral("LOGS_ZEVR_3G_Config")));
    MainWindow window;

    com_log = 0;
    window.slot_port_notopend(QStringLiteral("COM7"));
    QVERIFY(!QFileInfo::exists(app_log.fileName()));

    com_log = 1;
    window.slot_port_notopend(QStringLiteral("COM7"));
    const QByteArray bytes = readFileBytes(app_log.fileName());
    QCOMPARE(bytes.count("\r\n"), 1);
    QVERIFY2(bytes.endsWith(QStringLiteral(":    COM7  не открыт\r\n").toLocal8Bit()), bytes.constData());
}

QTEST_MAIN(tst_statusdisplay)
#include "tst_statusdisplay.moc"
