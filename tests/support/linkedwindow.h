#ifndef LINKEDWINDOW_H
#define LINKEDWINDOW_H

#include "mainwindow/mainwindow.h"
#include "serial/serialthread.h"

// The window and a worker of its own, wired as the program wires them, search off; with no port, commands end at once.
struct LinkedWindow {
    explicit LinkedWindow(const QString &port = QString()) {
        worker.com_auto = false;
        worker.com_port = port;
        window.attachLink(&worker);
    }
    MainWindow window;
    SerialThread worker; // goes before the window, as a worker made after it does
};

#endif // LINKEDWINDOW_H
