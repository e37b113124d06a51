#include "sender/quitrequests.h"

#include <QtTest>

#include <atomic>
#include <thread>

// The sender's console handler, called as Windows calls it: on a thread of its own. Wine sends no close event to a
// console program, so the test calls the handler itself.
class tst_winconsole : public QObject {
    Q_OBJECT

private slots:
    void consoleEvents() {
        QuitRequests::install();
        QObject run;
        int interrupts = 0;
        // A request before the run is known interrupts it as soon as it is.
        QVERIFY(QuitRequests::onConsoleEvent(CTRL_C_EVENT));
        QuitRequests::interruptOn(&run, [&interrupts] { ++interrupts; });
        QCOMPARE(interrupts, 1);
        // Ctrl+C and Ctrl+Break reach the run on its own thread, and the handler returns at once.
        bool handled = false;
        std::thread([&handled] {
            handled = QuitRequests::onConsoleEvent(CTRL_C_EVENT) && QuitRequests::onConsoleEvent(CTRL_BREAK_EVENT);
        }).join();
        QVERIFY(handled);
        QTRY_COMPARE(interrupts, 3);
        // Windows ends the process once the handler of a closed console returns: it holds on until all is written.
        std::atomic<bool> returned{false};
        std::thread closing([&returned] {
            QuitRequests::onConsoleEvent(CTRL_CLOSE_EVENT);
            returned = true;
        });
        QTRY_COMPARE(interrupts, 4);
        QTest::qWait(300);
        QVERIFY(!returned);
        QuitRequests::runEnded();
        closing.join();
        // Once the run is over, a late request reaches nothing.
        QVERIFY(QuitRequests::onConsoleEvent(CTRL_C_EVENT));
        QTest::qWait(50);
        QCOMPARE(interrupts, 4);
    }
};

QTEST_GUILESS_MAIN(tst_winconsole)
#include "tst_winconsole.moc"
