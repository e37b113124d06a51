// zevr-xgrab WINDOW FILE: saves what an X window shows as a PNG, for the tests that drive the real program on a
// private X server (DISPLAY names it). Exits 0 when the picture was written.

#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const WId window = QByteArray(argv[1]).toULongLong();
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
    return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[2]), "PNG") ? 0 : 1;
}
