// Draws the program's pictures (arrows, logo, program icon and its Windows .ico, and the desktop's icons at the
// usual sizes and as SVG) into resources/. Built and run by scripts/make-artwork.sh; the files it writes are
// committed, so a build never needs it.

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QSvgGenerator>
#include <QTransform>

#include <cstdio>

namespace {

const QColor badgeTop(0x5a, 0x5a, 0x5a);
const QColor badgeBottom(0x36, 0x36, 0x36);
const QColor chevronLight(0xf4, 0xf4, 0xf4);
const QColor blueLight(0x1f, 0xa8, 0xec);
const QColor blueDark(0x00, 0x4e, 0x8c);

QImage blankImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    return image;
}

// One arrow: a light chevron on a dark round badge; angle 0 points down.
QImage arrowImage(qreal angle) {
    QImage image = blankImage(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient badge(0, 0.5, 0, 15.5);
    badge.setColorAt(0, badgeTop);
    badge.setColorAt(1, badgeBottom);
    p.setPen(Qt::NoPen);
    p.setBrush(badge);
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));

    p.translate(8, 8);
    p.rotate(angle);
    QPainterPath chevron;
    chevron.moveTo(-3.3, -1.6);
    chevron.lineTo(0, 1.8);
    chevron.lineTo(3.3, -1.6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(chevronLight, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(chevron.translated(0, 0.3));
    return image;
}

QFont boldFont(qreal pixelSize, qreal spacing = 0) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(qRound(pixelSize));
    font.setLetterSpacing(QFont::AbsoluteSpacing, spacing);
    return font;
}

// Radio waves leaving a point, the "3G" link of the controller.
// direction is in degrees, counter-clockwise from the positive x axis.
void drawWaves(QPainter &p, QPointF centre, qreal direction, qreal first, qreal step, qreal width,
               const QColor &colour) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap));
    for (int i = 0; i < 3; ++i) {
        const qreal r = first + i * step;
        p.drawArc(QRectF(centre.x() - r, centre.y() - r, 2 * r, 2 * r), qRound((direction - 25) * 16), 50 * 16);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(centre, width * 0.9, width * 0.9);
}

// Text as outlines, so that the SVG icon looks the same without the font.
void drawCentredText(QPainter &p, const QRectF &box, const QString &text, const QFont &font, const QColor &colour) {
    const QFontMetricsF metrics(font);
    const qreal x = box.center().x() - metrics.horizontalAdvance(text) / 2;
    const qreal baseline = box.center().y() - metrics.height() / 2 + metrics.ascent();
    QPainterPath outline;
    outline.addText(x, baseline, font, text);
    p.fillPath(outline, colour);
}

// The program icon on a 128 x 128 canvas. Small sizes keep only the face and "3G", which stay legible there.
void drawIcon(QPainter &p, bool small) {
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 4, 0, 124);
    face.setColorAt(0, blueLight);
    face.setColorAt(1, blueDark);
    p.setPen(QPen(QColor(0, 0x3a, 0x6a), small ? 6 : 2));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(5, 5, 118, 118), 22, 22);
    if (small) {
        drawCentredText(p, QRectF(5, 5, 118, 118), QStringLiteral("3G"), boldFont(70, -3), Qt::white);
        return;
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 36));
    p.drawRoundedRect(QRectF(9, 9, 110, 50), 18, 18);

    drawWaves(p, QPointF(24, 47), 45, 9, 8, 4, Qt::white);
    drawCentredText(p, QRectF(5, 56, 118, 60), QStringLiteral("3G"), boldFont(54, -2), Qt::white);
    drawCentredText(p, QRectF(50, 14, 68, 34), QStringLiteral("ZEVR"), boldFont(19, 0.5), Qt::white);
}

QImage iconImage(int size) {
    QImage image = blankImage(size);
    QPainter p(&image);
    p.scale(size / 128.0, size / 128.0);
    drawIcon(p, size <= 32);
    return image;
}

bool saveIconSvg(const QString &path) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(128, 128));
    svg.setViewBox(QRect(0, 0, 128, 128));
    svg.setTitle(QStringLiteral("ZEVR-3G-Config"));
    QPainter p;
    if (p.begin(&svg)) {
        drawIcon(p, false);
        if (p.end())
            return true;
    }
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

QImage logoImage() {
    QImage image = blankImage(215);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const QPointF centre(107.5, 107.5);

    QRadialGradient ring(centre, 104);
    ring.setColorAt(0.85, blueDark);
    ring.setColorAt(1, QColor(0, 0x3a, 0x6a));
    p.setPen(Qt::NoPen);
    p.setBrush(ring);
    p.drawEllipse(centre, 104, 104);

    QLinearGradient face(0, 18, 0, 197);
    face.setColorAt(0, blueLight);
    face.setColorAt(1, QColor(0, 0x6e, 0xb8));
    p.setBrush(face);
    p.drawEllipse(centre, 91, 91);
    p.setPen(QPen(QColor(255, 255, 255, 200), 2));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 85, 85);

    drawWaves(p, QPointF(107.5, 52), 90, 7, 7, 3.5, Qt::white);
    drawCentredText(p, QRectF(20, 52, 175, 36), QStringLiteral("ZEVR"), boldFont(30, 1), Qt::white);
    drawCentredText(p, QRectF(20, 84, 175, 70), QStringLiteral("3G"), boldFont(66, -3), Qt::white);
    p.setPen(QPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(62, 160), QPointF(153, 160));
    drawCentredText(p, QRectF(20, 162, 175, 22), QStringLiteral("CONFIG"), boldFont(14, 3), Qt::white);
    return image;
}

bool savePng(const QImage &image, const QString &path) {
    // ARGB32 saves as 8-bit RGBA (colour type 6) even when every pixel is opaque.
    if (image.convertToFormat(QImage::Format_ARGB32).save(path, "PNG"))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// A single 128 x 128, 32 bits per pixel DIB entry with its AND mask, as Windows resource compilers expect.
QByteArray icoBytes(const QImage &source) {
    const QImage image = source.convertToFormat(QImage::Format_ARGB32);
    const int size = image.width();
    const int maskRow = ((size + 31) / 32) * 4;
    const quint32 dibSize = 40 + size * size * 4 + maskRow * size;
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(1);
    out << quint8(size & 0xff) << quint8(size & 0xff) << quint8(0) << quint8(0) << quint16(1) << quint16(32) << dibSize
        << quint32(22);
    out << quint32(40) << qint32(size) << qint32(2 * size) << quint16(1) << quint16(32) << quint32(0)
        << quint32(size * size * 4 + maskRow * size) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
    for (int y = size - 1; y >= 0; --y)
        for (int x = 0; x < size; ++x)
            out << quint32(image.pixel(x, y)); // 0xAARRGGBB little-endian is B, G, R, A
    for (int y = size - 1; y >= 0; --y) {
        QByteArray row(maskRow, '\0');
        for (int x = 0; x < size; ++x)
            if (qAlpha(image.pixel(x, y)) == 0)
                row[x / 8] = char(row[x / 8] | (0x80 >> (x % 8)));
        out.writeRawData(row.constData(), row.size());
    }
    return bytes;
}

bool saveIco(const QImage &image, const QString &path) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly) && file.write(icoBytes(image)) > 0)
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

} // namespace

// The desktop's icon theme sizes besides 128, which the program itself carries.
bool saveDesktopIcons(const QDir &out) {
    out.mkpath(QStringLiteral("icons"));
    for (int size : {16, 22, 24, 32, 48, 64, 256}) {
        const QString name = QStringLiteral("icons/zevr-3g-config-%1.png").arg(size);
        if (!savePng(iconImage(size), out.filePath(name)))
            return false;
    }
    return saveIconSvg(out.filePath(QStringLiteral("icons/zevr-3g-config.svg")));
}

int main(int argc, char **argv) {
    QGuiApplication app(argc, argv);
    const QDir out(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources"));
    const QImage icon = iconImage(128);
    const bool ok = savePng(arrowImage(0), out.filePath(QStringLiteral("Icon/arrow-down.png"))) &&
                    savePng(arrowImage(180), out.filePath(QStringLiteral("Icon/arrow-up.png"))) &&
                    savePng(arrowImage(90), out.filePath(QStringLiteral("Icon/arrow-left.png"))) &&
                    savePng(arrowImage(-90), out.filePath(QStringLiteral("Icon/arrow-right.png"))) &&
                    savePng(logoImage(), out.filePath(QStringLiteral("Image/logozvl.png"))) &&
                    savePng(icon, out.filePath(QStringLiteral("zevr-3g-config.png"))) &&
                    saveIco(icon, out.filePath(QStringLiteral("zevr-3g-config.ico"))) && saveDesktopIcons(out);
    return ok ? 0 : 1;
}
