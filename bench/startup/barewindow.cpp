// The yardsticks: an empty main window of the program's size, with nothing else, and (with --label) the same
// window showing one label, which pays for fontconfig and a font as every program with text does.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(552, 649);
    window.setWindowTitle(QStringLiteral("bare window"));
    if (app.arguments().contains(QStringLiteral("--label")))
        window.setCentralWidget(new QLabel(QStringLiteral("Одна надпись")));
    window.show();
    return app.exec();
}
