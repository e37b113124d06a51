#include "workfiles/applog.h"
#include "workfiles/settingsfile.h"
#include "mainwindow/mainwindow.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/linkrecorder.h"
#include "support/ptypair.h"
#include "support/settingstestsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <functional>

using Report = std::function<void(MainWindow &)>;

Q_DECLARE_METATYPE(Report)

class tst_statusdisplay : public QObject {
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void comLogGating_data();
    void comLogGating();
    void noticeStandsBesideReports();
    void logTroubleReachesTheNotice();
    void noPortFound_data();
    void noPortFound();
};

void tst_statusdisplay::texts_data() {
    QTest::addColumn<Report>("report");
    QTest::addColumn<QString>("text");
    QTest::newRow("opened, parity as a digit")
        << Report([](MainWindow &w) { w.slot_port_opend("COM3", 115200, 8, 2, 1, "Нет"); })
        << "Открыт COM3-115200-8-2-1-Нет";
    QTest::newRow("not opened") << Report([](MainWindow &w) { w.slot_port_notopend("COM3"); }) << "COM3  не открыт";
    QTest::newRow("message") << Report([](MainWindow &w) { w.slot_show_message("Устройство не обнаружено"); })
                             << "Устройство не обнаружено";
}

void tst_statusdisplay::texts() {
    QFETCH(Report, report);
    MainWindow window;
    QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
    com_log = 1;
    report(window);
    QTEST(window.statusBar()->currentMessage(), "text");
    QCOMPARE(logged.count(), 1);
    QTEST(logged.at(0).at(0).toString(), "text");
    // The status bar runs a timer only for a message that times out.
    for (const QTimer *timer : window.statusBar()->findChildren<QTimer *>())
        QVERIFY(!timer->isActive());
}

void tst_statusdisplay::comLogGating_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("logged");
    QTest::newRow("1 logs") << QByteArray("COM Log\r\n1\r\n") << true;
    QTest::newRow("2 does not") << QByteArray("COM Log\r\n2\r\n") << false;
    QTest::newRow("257 is 1 in eight bits") << QByteArray("COM Log\r\n257\r\n") << true;
}

// From the settings file through the window to the process-wide log's file.
void tst_statusdisplay::comLogGating() {
    QFETCH(QByteArray, content);
    QFETCH(bool, logged);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir().mkdir(QStringLiteral("LOGS_ZEVR_3G_Config")));
    QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), content));
    com_log = 0;
    load_com_log();

    MainWindow window;
    window.slot_port_notopend(QStringLiteral("COM5"));
    // The line's first 19 characters are its time.
    const QString line = QStringLiteral(":    COM5  не открыт\r\n");
    QCOMPARE(readFileBytes(app_log.fileName()).mid(19), logged ? line.toLocal8Bit() : QByteArray());
}

// A notice neither covers nor is covered by the link's reports, and never reaches the log.
void tst_statusdisplay::noticeStandsBesideReports() {
    MainWindow window;
    QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
    com_log = 1;
    // A notice as long as a refused profile's does not widen the window beyond a laptop's screen.
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const int leastWidth = window.minimumSizeHint().width();
    window.showNotice(QStringLiteral("Профиль не открыт: ").repeated(20));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    QCOMPARE(window.minimumSizeHint().width(), leastWidth);
    window.slot_show_message(QStringLiteral("Устройство не обнаружено"));
    window.showNotice(QStringLiteral("Настройки не сохранены"), QStringLiteral("/tmp/settings.ini: нет места"));
    window.slot_port_notopend(QStringLiteral("COM5"));
    auto *notice = window.statusBar()->findChild<QLabel *>(QStringLiteral("noticeLabel"));
    QVERIFY(notice);
    QVERIFY(notice->isVisibleTo(&window));
    QCOMPARE(notice->text(), QStringLiteral("Настройки не сохранены"));
    QCOMPARE(notice->toolTip(), QStringLiteral("/tmp/settings.ini: нет места"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("COM5  не открыт"));
    QCOMPARE(logged.count(), 2);
}

// The process-wide log tells the window when its lines are lost and when they reach the file again; the report
// itself stands in the status bar all the same.
void tst_statusdisplay::logTroubleReachesTheNotice() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    const QString folder = QStringLiteral("LOGS_ZEVR_3G_Config");
    QVERIFY(writeFileBytes(folder, "a file where the folder should be"));
    com_log = 1;
    MainWindow window;
    auto *notice = window.statusBar()->findChild<QLabel *>(QStringLiteral("noticeLabel"));
    QVERIFY(notice);
    window.slot_show_message(QStringLiteral("Отправлено. COM3 закрыт"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Отправлено. COM3 закрыт"));
    QCOMPARE(notice->text(), QStringLiteral("Журнал не записывается"));
    QCOMPARE(notice->toolTip(), QDir(dir.path()).filePath(folder) + QStringLiteral(": это не папка"));

    QVERIFY(QFile::remove(folder) && QDir().mkdir(folder));
    window.slot_port_notopend(QStringLiteral("COM5"));
    QCOMPARE(notice->text(), QString());
    QVERIFY(readFileBytes(app_log.fileName()).endsWith(":    COM5  не открыт\r\n"));
}

void tst_statusdisplay::noPortFound_data() {
    QTest::addColumn<QString>("later"); // a notice of another kind that comes after it, or none
    QTest::newRow("alone") << QString();
    QTest::newRow("another notice after it") << QStringLiteral("Настройки не сохранены");
}

// With the automatic search on and no port listed, the notice says so while the status bar and the log stay
// silent. A later command that finds a port takes that notice away, but not a notice of another kind.
void tst_statusdisplay::noPortFound() {
    QFETCH(QString, later);
    PtyPair device;
    device.answerEachProbe("ZEVR-3G");
    QStringList listed;
    setPortLister([&] { return listed; });
    const auto restore = qScopeGuard([] { setPortLister(nullptr); });
    MainWindow window;
    SerialThread worker;
    worker.com_auto = true;
    window.attachLink(&worker);
    LinkRecorder recorder(&worker);
    QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
    com_log = 1;
    auto *notice = window.statusBar()->findChild<QLabel *>(QStringLiteral("noticeLabel"));
    QVERIFY(notice);

    worker.slot_data_send("CMDy");
    QVERIFY2(notice->text().contains(QStringLiteral("порт не найден")), qPrintable(notice->text()));
    QVERIFY2(notice->toolTip().contains(QStringLiteral("адаптер")), qPrintable(notice->toolTip()));
    QCOMPARE(window.statusBar()->currentMessage(), QString());
    QCOMPARE(logged.count(), 0);

    if (!later.isEmpty())
        window.showNotice(later);
    // Now through the window: a port that does not open, then one that answers.
    listed = QStringList{QStringLiteral("zevr-missing"), device.portName()};
    window.findChild<QPushButton *>(QStringLiteral("pB_Send_1"))->click();
    QVERIFY(recorder.waitForCount(5, 5000));
    QCOMPARE(notice->text(), later);
    QCOMPARE(logged.value(0).value(0).toString(), QStringLiteral("zevr-missing  не открыт"));
    QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Отправлено. %1 закрыт").arg(device.portName()));
}

QTEST_MAIN(tst_statusdisplay)
#include "tst_statusdisplay.moc"
