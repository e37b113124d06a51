// The yardstick: an empty main window of the program's size, with nothing else.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(552, 649);
    window.setWindowTitle(QStringLiteral("bare window"));
    window.show();
    return app.exec();
}
