#include "app/stylesheet.h"
#include "mainwindow/busyindicator.h"
#include "mainwindow/mainwindow.h"
#include "mainwindow/noticelabel.h"
#include "mainwindow/statusline.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "support/linkrecorder.h"
#include "support/ptypair.h"
#include "support/settingstestsupport.h"
#include "support/statusreport.h"
#include "workfiles/applog.h"
#include "workfiles/settingsfile.h"

#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

#include <functional>

using Report = std::function<void(MainWindow &)>;

Q_DECLARE_METATYPE(Report)

namespace {

// The smallest rectangle around the dark text in `area` of `image`; empty when there is none.
QRect inkBounds(const QImage &image, const QRect &area) {
    QRect bounds;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

void settle() {
    for (int round = 0; round < 5; ++round) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
    }
}

} // namespace

class tst_statusdisplay : public QObject {
    Q_OBJECT

private slots:
    void texts_data() {
        QTest::addColumn<Report>("report");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("comLog"); // the settings file's value
        QTest::newRow("opened, parity as a digit")
            << Report([](MainWindow &w) { w.slot_port_opend("COM3", 115200, 8, 2, 1, "Нет"); })
            << "Открыт COM3-115200-8-2-1-Нет" << QByteArray("1");
        // A port is named as typed, even one that reads like markup.
        QTest::newRow("not opened") << Report([](MainWindow &w) { w.slot_port_notopend("<b>COM3</b>"); })
                                    << "<b>COM3</b>  не открыт" << QByteArray("1");
        // "Авто" off and no port chosen: the report says what is missing instead of "  не открыт".
        QTest::newRow("no port named") << Report([](MainWindow &w) { w.slot_port_notopend(QString()); })
                                       << "Порт не выбран: выберите порт в «Настройки связи» или включите «Авто»"
                                       << QByteArray("1");
        for (const char *comLog : {"2", "257"}) // 2 does not log; 257 is 1 in eight bits, which does
            QTest::addRow("COM Log %s", comLog) << Report([](MainWindow &w) { w.slot_port_notopend("COM5"); })
                                                << "COM5  не открыт" << QByteArray(comLog);
    }

    // From the settings file through the window to the process-wide log's file.
    void texts() {
        QFETCH(Report, report);
        QFETCH(QString, text);
        QFETCH(QByteArray, comLog);
        ScopedWorkDir dir;
        QVERIFY(dir.isValid() && QDir().mkdir(QStringLiteral("LOGS_ZEVR_3G_Config")));
        QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), "COM Log\r\n" + comLog + "\r\n"));
        com_log = 0;
        load_com_log();
        const bool logs = comLog != "2";
        MainWindow window;
        QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
        report(window);
        QCOMPARE(reportText(window), text);
        // What a screen reader reads is what the label shows.
        auto *label = window.findChild<QLabel *>(QStringLiteral("reportLabel"));
        QCOMPARE(QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name), text);
        QCOMPARE(logged.count(), logs ? 1 : 0);
        QCOMPARE(logged.value(0).value(0).toString(), logs ? text : QString());
        // The line's first 19 characters are its time.
        QCOMPARE(readFileBytes(app_log.fileName()).mid(19),
                 logs ? (":    " + text + "\r\n").toLocal8Bit() : QByteArray());
        // The status bar runs a timer only for a message that times out.
        for (const QTimer *timer : window.statusBar()->findChildren<QTimer *>())
            QVERIFY(!timer->isActive());
    }

    // A search over dead ports reports faster than anyone reads: the first report after a quiet spell shows at once,
    // the rest of the burst waits for the spell's end, when the newest is shown and laid out whole.
    void aBurstEndsOnTheNewestReport() {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(100);
        auto *label = window.findChild<QLabel *>(QStringLiteral("reportLabel"));
        window.slot_port_notopend(QStringLiteral("COM1"));
        QCOMPARE(label->text(), QStringLiteral("COM1  не открыт"));
        for (int port = 2; port <= 500; ++port)
            window.slot_port_notopend(QStringLiteral("COM%1").arg(port));
        const QString newest = QStringLiteral("Команда не отправлена: дата выпуска канала 3 — год 1999 вне "
                                              "диапазона 2000–2255. ")
                                   .repeated(3);
        window.slot_show_message(newest);
        QCOMPARE(label->text(), QStringLiteral("COM1  не открыт"));
        QTRY_COMPARE_WITH_TIMEOUT(label->text(), newest, 200);
        settle();
        QVERIFY(label->heightForWidth(label->width()) <= label->height());
        QTest::qWait(100);
        QCOMPARE(label->text(), newest);
    }

    // The log tells the window when its lines are lost and when they reach the file again; the report stays.
    void logTroubleReachesTheNotice() {
        ScopedWorkDir dir;
        QVERIFY(dir.isValid());
        const QString folder = QStringLiteral("LOGS_ZEVR_3G_Config");
        QVERIFY(writeFileBytes(folder, "a file where the folder should be"));
        com_log = 1;
        MainWindow window;
        QLabel *notice = noticeOf(window);
        window.slot_show_message(QStringLiteral("Отправлено. COM3 закрыт"));
        QCOMPARE(reportText(window), QStringLiteral("Отправлено. COM3 закрыт"));
        QCOMPARE(notice->text(), QStringLiteral("Журнал не записывается"));
        QCOMPARE(notice->toolTip(), QDir(dir.path()).filePath(folder) + QStringLiteral(": это не папка"));
        QVERIFY(QFile::remove(folder) && QDir().mkdir(folder));
        window.slot_port_notopend(QStringLiteral("COM5"));
        QCOMPARE(notice->text(), QString());
        QVERIFY(readFileBytes(app_log.fileName()).endsWith(":    COM5  не открыт\r\n"));
    }

    void noPortFound_data() {
        QTest::addColumn<QString>("later"); // a notice of another kind that comes after it, or none
        QTest::newRow("alone") << QString();
        QTest::newRow("another notice after it") << QStringLiteral("Настройки не сохранены");
    }

    // With the automatic search on and no port listed, the report says so, so that an earlier success does not stay in
    // view, and the notice too. A later command that finds a port takes that notice away, not one of another kind.
    void noPortFound() {
        QFETCH(QString, later);
        PtyPair device;
        device.answerEachProbe("ZEVR-3G");
        QStringList listed;
        setPortLister([&] { return listed; });
        const auto restore = qScopeGuard([] { setPortLister(nullptr); });
        MainWindow window;
        SerialThread worker;
        window.attachLink(&worker);
        LinkRecorder recorder(&worker);
        QSignalSpy logged(&window, &MainWindow::signal_write_to_log_file);
        com_log = 1;
        QLabel *notice = noticeOf(window);

        window.slot_show_message(QStringLiteral("Отправлено. COM3 закрыт"));
        worker.slot_data_send("CMDy");
        QVERIFY2(notice->text().contains(QStringLiteral("порт не найден")), qPrintable(notice->text()));
        QVERIFY2(notice->toolTip().contains(QStringLiteral("адаптер")), qPrintable(notice->toolTip()));
        const QString noPort = QStringLiteral("Порт не найден: система не видит ни одного последовательного порта");
        QCOMPARE(reportText(window), noPort);
        QCOMPARE(logged.count(), 2);
        QCOMPARE(logged.at(1).at(0).toString(), noPort);
        logged.clear();

        const QString noPortNotice = notice->text();
        if (!later.isEmpty())
            window.showNotice(later);
        // Now through the window: a port that does not open leaves the notice, then one that opens takes it away.
        listed = QStringList{QStringLiteral("zevr-missing")};
        window.findChild<QPushButton *>(QStringLiteral("pB_Send_1"))->click();
        QVERIFY(recorder.waitForCount(1, 5000));
        QCOMPARE(notice->text(), later.isEmpty() ? noPortNotice : later);
        listed << device.portName();
        window.findChild<QPushButton *>(QStringLiteral("pB_Send_1"))->click();
        QVERIFY(recorder.waitForCount(6, 5000));
        QCOMPARE(notice->text(), later);
        QCOMPARE(logged.value(0).value(0).toString(), QStringLiteral("zevr-missing  не открыт"));
        QCOMPARE(reportText(window), QStringLiteral("Отправлено. %1 закрыт").arg(device.portName()));
    }

    void reportAndNoticeShareTheLine_data() {
        QTest::addColumn<int>("width"); // 0: the window's least
        QTest::addColumn<bool>("busy");
        QTest::addColumn<QString>("notice");
        const QString saved = QStringLiteral("Профиль сохранён: /home/operator/Профили/станция-депо-7-основной.ini");
        const QString short_ = QStringLiteral("Настройки не сохранены");
        for (int width : {0, 1366})
            for (bool busy : {false, true})
                for (const QString &notice : {saved, short_})
                    QTest::addRow("%s, %s, %s notice", width ? "1366 px" : "least width", busy ? "busy" : "idle",
                                  notice == saved ? "long" : "short")
                        << width << busy << notice;
    }

    // What the status bar paints: the whole report at the left, nothing painted over it, and the notice beside it, cut
    // with its whole text in the tooltip when the two do not fit. The window keeps its width. Menus and hovered actions
    // send status tips, mostly empty ones; the report stays. Padding from a style sheet takes no room from a text.
    void reportAndNoticeShareTheLine() {
        QFETCH(int, width);
        QFETCH(bool, busy);
        QFETCH(QString, notice);
        qApp->setStyleSheet(readStyleSheet(":/style/app.qss") + "#reportLabel, #noticeLabel { padding: 0 7px; }");
        const auto plain = qScopeGuard([] { qApp->setStyleSheet(QString()); });
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.resize(width ? width : window.minimumSizeHint().width(), window.height());
        settle();
        const int windowWidth = window.width();
        auto *indicator = window.findChild<BusyIndicator *>();
        QVERIFY(indicator);
        const QString report = QStringLiteral("Команда не отправлена: дата выпуска канала 3 — год 1999 вне диапазона "
                                              "2000–2255");
        window.slot_show_message(report);
        window.showNotice(notice, QStringLiteral("/tmp/подробности"));
        // The indicator comes after the report, as it does a moment after a command starts.
        if (busy) {
            indicator->setCount(2);
            QTRY_VERIFY(indicator->isVisible());
        }
        settle();

        QStatusBar *bar = window.statusBar();
        auto *reportLabel = bar->findChild<QLabel *>(QStringLiteral("reportLabel"));
        auto *noticeLabel = bar->findChild<QLabel *>(QStringLiteral("noticeLabel"));
        QVERIFY(reportLabel && noticeLabel);
        QCOMPARE(window.width(), windowWidth);
        const QRect reportRect(reportLabel->mapTo(bar, QPoint()), reportLabel->size());
        const QRect noticeRect(noticeLabel->mapTo(bar, QPoint()), noticeLabel->size());
        QVERIFY(bar->rect().contains(reportRect) && bar->rect().contains(noticeRect));
        QCOMPARE(reportLabel->text(), report);
        // A report wider than its label wraps rather than lose its end, and the label has the height its whole text
        // needs at its width: a wrapped report is not cut at the bottom either.
        if (reportLabel->fontMetrics().horizontalAdvance(report) > reportLabel->contentsRect().width())
            QVERIFY(reportLabel->heightForWidth(reportLabel->width()) > reportLabel->fontMetrics().lineSpacing());
        QVERIFY(reportLabel->heightForWidth(reportLabel->width()) <= reportLabel->height());
        QVERIFY(!reportRect.intersects(noticeRect));
        QVERIFY(noticeRect.top() > reportRect.bottom() || noticeRect.left() > reportRect.right() + 1); // a gap
        if (busy)
            QVERIFY(!reportRect.intersects(QRect(indicator->mapTo(bar, QPoint()), indicator->size())));

        const QImage painted = bar->grab().toImage();
        const qreal ratio = painted.devicePixelRatio();
        const QRect reportPixels(reportRect.topLeft() * ratio, reportRect.size() * ratio);
        const QRect noticePixels(noticeRect.topLeft() * ratio, noticeRect.size() * ratio);
        // The status bar shows the report's letters where the report alone paints them: nothing over them, nothing of
        // them cut away. Dark against dark, not colour against colour: the edges of letters blend with what lies under.
        const QImage shown = painted.copy(reportPixels), alone = reportLabel->grab().toImage();
        QCOMPARE(shown.size(), alone.size());
        int mismatches = 0; // clearly ink in one, clearly background in the other
        for (int y = 0; y < shown.height(); ++y)
            for (int x = 0; x < shown.width(); ++x) {
                const int a = qGray(shown.pixel(x, y)), b = qGray(alone.pixel(x, y));
                mismatches += (a < 96 && b > 160) || (b < 96 && a > 160) ? 1 : 0;
            }
        QCOMPARE(mismatches, 0);
        // The notice still shows some of itself, clear of the report's last letters.
        const QRect reportInk = inkBounds(painted, reportPixels);
        const QRect noticeInk = inkBounds(painted, noticePixels);
        QVERIFY2(!reportInk.isEmpty() && !noticeInk.isEmpty(), "the report or the notice paints nothing");
        QVERIFY2(!reportInk.adjusted(-2, -2, 2, 2).intersects(noticeInk), "the report's ink touches the notice's");
        QCOMPARE(noticeLabel->text(), notice);
        const bool cut = noticeLabel->fontMetrics().horizontalAdvance(notice) > noticeLabel->contentsRect().width();
        QCOMPARE(noticeLabel->toolTip(),
                 cut ? notice + QStringLiteral("\n/tmp/подробности") : QStringLiteral("/tmp/подробности"));
        // At 1366 px, busy or not, the report stands on one line, and a short notice beside it whole.
        if (width == 1366)
            QVERIFY((notice.size() >= 40 || !cut) &&
                    reportLabel->fontMetrics().horizontalAdvance(report) <= reportLabel->contentsRect().width());

        const QImage before = reportLabel->grab().toImage();
        QMenu *menu = window.menuBar()->actions().first()->menu();
        menu->popup(window.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(menu));
        for (QAction *action : menu->actions())
            if (!action->isSeparator())
                menu->setActiveAction(action);
        // An action with a tip of its own does not cover the report either.
        QStatusTipEvent tip(QStringLiteral("подсказка"));
        QCoreApplication::sendEvent(&window, &tip);
        settle();
        QVERIFY(reportLabel->isVisible());
        menu->hide();
        settle();
        QCOMPARE(reportText(window), report);
        QVERIFY(reportLabel->isVisible());
        QCOMPARE(reportLabel->grab().toImage(), before);
    }
};

QTEST_MAIN(tst_statusdisplay)
#include "tst_statusdisplay.moc"
