#include "app/instancemutex.h"
#include "app/qttranslation.h"
#include "app/stylesheet.h"
#include "mainwindow/mainwindow.h"
#include "serial/serialthread.h"
#include "workfiles/settingsfile.h"

#include <QApplication>
#include <QIcon>

#include <memory>

int main(int argc, char **argv) {
    createInstanceMutex();
    // Fixed-pixel fields would not grow with the fonts on a high-density screen. Scale by the screen's own
    // factor: Qt's default rounding would draw a common 150 % screen at 200 %.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
    QApplication app(argc, argv);
    // Lets a Wayland desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZEVR_DESKTOP_ENTRY));
    installQtTranslation(QCoreApplication::applicationDirPath());
    app.setStyleSheet(readStyleSheet(QStringLiteral(":/style/app.qss")));
#ifndef Q_OS_WIN
    // Windows takes the icon from the program file; elsewhere the window needs it explicitly.
    app.setWindowIcon(QIcon(QStringLiteral(":/Icon/zevr-3g-config.png")));
#endif

    const FileResult settings = settings_at_start();
    load_com_log();

    MainWindow window;
    window.show();
    // Start-up goes on with what could be had; the operator learns why the values are not the file's.
    if (!settings.ok())
        window.showNotice(QStringLiteral("Настройки из settings.ini не загружены"), settings.details());

    // Declared after the window so that it is gone before the window, which is the only sender of commands.
    auto worker = std::make_unique<SerialThread>(nullptr);
    serial_thread = worker.get();
    window.attachLink(worker.get());
    worker->slot_run();
    QObject::connect(&window, &MainWindow::signal_quit, &app, &QApplication::quit);

    const int code = app.exec();
    serial_thread = nullptr;
    return code;
}
