#ifndef LINKEDWINDOW_H
#define LINKEDWINDOW_H

#include "mainwindow/mainwindow.h"
#include "serial/serialthread.h"

// The window wired to a link worker of its own, with the automatic search off, as the program wires them. With no
// port named every command ends at once; with one, it goes there.
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
