#include "app/mainwindow.h"

#include <QtTest>

class tst_smoke : public QObject {
    Q_OBJECT
private slots:
    void windowTitle() {
        MainWindow window;
        QCOMPARE(window.windowTitle(), QStringLiteral("ЗЕВР-3G-Config v.1.2"));
    }
};

QTEST_MAIN(tst_smoke)
#include "tst_smoke.moc"
