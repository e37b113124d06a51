// Draws the pictures of the user manual from the real windows, with the program's style sheet and
// example values filled in. Run it on a display (Xvfb does); see screenshots.sh.

#include "app/stylesheet.h"
#include "dialogs/about_dl.h"
#include "dialogs/settings_dlg.h"
#include "mainwindow/mainwindow.h"
#include "serial/portlist.h"
#include "serial/serialthread.h"
#include "tools/zevr-sim/simprocess.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QDockWidget>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <cstdio>

template <typename T> static T *child(QObject *window, const char *name) {
    T *widget = window->findChild<T *>(QLatin1String(name));
    if (!widget)
        std::fprintf(stderr, "no widget %s\n", name);
    return widget;
}

static void click(QWidget *window, const char *name) {
    if (auto *button = child<QAbstractButton>(window, name))
        button->click();
}

static void type(QWidget *window, const char *name, const QString &text) {
    if (auto *edit = child<QLineEdit>(window, name))
        edit->setText(text);
}

static bool save(QWidget *widget, const QString &path) {
    widget->show();
    widget->activateWindow();
    if (!QTest::qWaitForWindowExposed(widget))
        std::fprintf(stderr, "%s was not shown; the picture may be blank\n", qPrintable(widget->objectName()));
    QApplication::processEvents();
    const bool ok = widget->window()->grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
    return ok;
}

static void fillSingleChannel(QWidget *window) {
    click(window, "chB_1");
    click(window, "chB_2");
    click(window, "chB_3");
    click(window, "rB_anl_2");
}

static void fillMultiChannel(QWidget *window) {
    click(window, "rb_NChanel");
    click(window, "chB_Chanel1_CM_1");
    click(window, "chB_Chanel1_CM_3");
    click(window, "chB_Chanel2_CM_2");
    type(window, "lE_Date_Ch_1", QStringLiteral("15/06/2016"));
    type(window, "lE_Kod_Ch_1", QStringLiteral("B"));
}

static void fillMeter(QWidget *window) {
    click(window, "rB_Imp_el_counter");
    type(window, "lE_current_val_el_counter", QStringLiteral("0001234.5"));
}

// Waits, with the event loop running, until the worker has ended `count` more transmissions.
static bool waitForTransmissions(SerialThread &worker, int count) {
    QSignalSpy finished(&worker, &SerialThread::signal_transmission_finished);
    while (finished.count() < count)
        if (!finished.wait(5000))
            return false;
    return true;
}

// The history after a search across three ports, two commands to the controller and a queue cancelled, and the
// status bar while that queue waited.
static bool saveHistory(MainWindow &window, const QDir &out) {
    SimProcess silent, answering;
    QString error;
    if (!silent.start(QStringLiteral(ZEVR_SIM_PATH), {QStringLiteral("--silent")}, &error) ||
        !answering.start(QStringLiteral(ZEVR_SIM_PATH), {}, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    const QStringList ports = {QStringLiteral("ttyS7"), silent.path().mid(5), answering.path().mid(5)};
    setPortLister([ports] { return ports; });
    SerialThread worker;
    window.attachLink(&worker);
    auto *tabs = child<QTabWidget>(&window, "tabWidget");
    tabs->setCurrentIndex(1);
    click(&window, "pB_Send_2");
    bool ok = waitForTransmissions(worker, 1);
    worker.com_auto = false;
    worker.com_port = ports[2];
    tabs->setCurrentIndex(0);
    click(&window, "pB_Send_1");
    tabs->setCurrentIndex(2);
    click(&window, "pB_Send_3");
    ok &= waitForTransmissions(worker, 2);
    worker.com_port = ports[1];
    click(&window, "pB_Send_3");
    click(&window, "pB_Send_2");
    QTest::qWait(500); // the indicator shows once the link has been busy for a moment
    ok &= save(&window, out.filePath(QStringLiteral("busy.png")));
    click(&window, "pB_Cancel");
    child<QAction>(&window, "action_history")->trigger();
    auto *dock = child<QDockWidget>(&window, "dW_History");
    dock->show();
    dock->setFloating(true);
    dock->resize(980, 470);
    ok &= save(dock, out.filePath(QStringLiteral("history.png")));
    dock->hide();
    setPortLister(nullptr);
    return ok;
}

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    app.setStyleSheet(readStyleSheet(QStringLiteral(":/style/app.qss")));
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath());
    setPortLister([] { return QStringList{QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")}; });

    MainWindow window;
    auto *tabs = child<QTabWidget>(&window, "tabWidget");
    bool ok = tabs != nullptr;
    if (ok) {
        fillSingleChannel(&window);
        ok &= save(&window, out.filePath(QStringLiteral("tab_skz.png")));
        fillMultiChannel(&window);
        ok &= save(&window, out.filePath(QStringLiteral("tab_skz_multi.png")));
        tabs->setCurrentIndex(1);
        type(&window, "lE_Time", QStringLiteral("14:05:07"));
        type(&window, "lE_Date", QStringLiteral("06/12/2026"));
        ok &= save(&window, out.filePath(QStringLiteral("tab_time.png")));
        tabs->setCurrentIndex(2);
        fillMeter(&window);
        ok &= save(&window, out.filePath(QStringLiteral("tab_meter.png")));
        ok &= saveHistory(window, out);
    }
    settings_dlg settings;
    ok &= save(&settings, out.filePath(QStringLiteral("settings.png")));
    About_dl about;
    ok &= save(&about, out.filePath(QStringLiteral("about.png")));
    return ok ? 0 : 1;
}
