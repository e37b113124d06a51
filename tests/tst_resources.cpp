#include "app/mainwindow.h"
#include "app/stylesheet.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QResource>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

namespace {

const QString sheetPath = QStringLiteral(":/style/app.qss");

QByteArray resourceBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString stripComments(const QString &text) {
    static const QRegularExpression comment(QStringLiteral("/\\*.*?\\*/"),
                                            QRegularExpression::DotMatchesEverythingOption);
    return QString(text).remove(comment);
}

// The selector text of every rule, whitespace folded, in the order of the sheet.
QStringList selectorsOf(const QString &sheet) {
    QStringList selectors;
    const QStringList rules = stripComments(sheet).split(QLatin1Char('}'), Qt::SkipEmptyParts);
    for (const QString &rule : rules) {
        const int brace = rule.indexOf(QLatin1Char('{'));
        if (brace >= 0)
            selectors << rule.left(brace).simplified();
    }
    return selectors;
}

QColor centreColour(QWidget &widget) {
    const QImage image = widget.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

struct PngHeader {
    int width = 0;
    int height = 0;
    int bitDepth = 0;
    int colourType = -1;
};

PngHeader pngHeader(const QByteArray &bytes) {
    PngHeader header;
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.mid(12, 4) != "IHDR")
        return header;
    QDataStream in(bytes.mid(16, 10));
    quint32 width, height;
    quint8 depth, type;
    in >> width >> height >> depth >> type;
    return {int(width), int(height), depth, type};
}

} // namespace

class tst_resources : public QObject {
    Q_OBJECT
private slots:
    void styleSheetIsZlibCompressed();
    void styleSheetIsUtf8WithCrLf();
    void styleSheetRulesInOrder();
    void styleSheetImagesExist();
    void styleSheetParses_data();
    void styleSheetParses();
    void images_data();
    void images();
    void windowsIcon();
    void readStyleSheet_data();
    void readStyleSheet();
    void lineEditBackground_data();
    void lineEditBackground();
    void sheetFontWinsOverWidgetFont();
    void meterFieldsGreyAtStart();
};

void tst_resources::styleSheetIsZlibCompressed() {
    const QResource resource(sheetPath);
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::ZlibCompression);
    QVERIFY(resource.size() < resource.uncompressedSize());
}

void tst_resources::styleSheetIsUtf8WithCrLf() {
    const QByteArray bytes = resourceBytes(sheetPath);
    QVERIFY(bytes.size() > 1000);
    QVERIFY(!bytes.contains('\0'));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    QVERIFY(bytes.endsWith("}\r\n"));

    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    QCOMPARE(state.invalidChars, 0);
    QVERIFY2(text.contains(QRegularExpression(QStringLiteral("/\\*[^*]*[а-яА-Я]"))), "a Russian comment");
    const QString rules = stripComments(text);
    for (const QChar c : rules)
        QVERIFY2(c.unicode() < 0x80, "non-ASCII outside a comment");
}

void tst_resources::styleSheetRulesInOrder() {
    const QStringList expected = {
        "QToolBar",
        "*",
        "QLineEdit, QTextEdit, QComboBox, QSpinBox, QDoubleSpinBox",
        "QComboBox::drop-down",
        "QComboBox::drop-down:on",
        "QComboBox::down-arrow",
        "QDateEdit",
        "QDateEdit::drop-down",
        "QDateEdit::down-arrow",
        "QLineEdit:disabled, QComboBox:disabled, QSpinBox:disabled",
        "QSpinBox::up-button, QDoubleSpinBox::up-button",
        "QSpinBox::down-button, QDoubleSpinBox::down-button",
        "QSpinBox::up-button:pressed, QSpinBox::down-button:pressed, QDoubleSpinBox::up-button:pressed, "
        "QDoubleSpinBox::down-button:pressed",
        "QSpinBox::up-arrow, QDoubleSpinBox::up-arrow",
        "QSpinBox::down-arrow, QDoubleSpinBox::down-arrow",
        "QScrollBar:horizontal",
        "QScrollBar::handle:horizontal",
        "QScrollBar::add-line:horizontal",
        "QScrollBar::right-arrow:horizontal",
        "QScrollBar::sub-line:horizontal",
        "QScrollBar::left-arrow:horizontal",
        "QScrollBar:vertical",
        "QScrollBar::handle:vertical",
        "QScrollBar::add-line:vertical",
        "QScrollBar::down-arrow:vertical",
        "QScrollBar::sub-line:vertical",
        "QScrollBar::up-arrow:vertical",
        "QAbstractScrollArea",
        "QToolTip",
        "QMenuBar::item",
        "QMenuBar::item:selected",
        "QMenuBar::item:pressed",
        "QMenu",
        "QMenu::item:selected",
        "QTableView",
        "QHeaderView::section",
        "QPushButton, QToolButton",
        "QPushButton:pressed, QToolButton:pressed",
        "QPushButton:flat, QToolButton:flat",
        "QPushButton:default, QToolButton:default",
        "QGroupBox",
        "QGroupBox::title",
    };
    QCOMPARE(selectorsOf(QString::fromUtf8(resourceBytes(sheetPath))), expected);
}

void tst_resources::styleSheetImagesExist() {
    static const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    const QString sheet = stripComments(QString::fromUtf8(resourceBytes(sheetPath)));
    QStringList images;
    for (auto it = url.globalMatch(sheet); it.hasNext();)
        images << it.next().captured(1);
    images.removeDuplicates();
    images.sort();
    QCOMPARE(images, QStringList({":/Icon/arrow-down.png", ":/Icon/arrow-left.png", ":/Icon/arrow-right.png",
                                  ":/Icon/arrow-up.png"}));
    for (const QString &image : images)
        QVERIFY2(!QImage(image).isNull(), qPrintable(image));
}

// Qt reports a sheet it cannot parse only as a warning when the first widget is polished.
void tst_resources::styleSheetParses_data() {
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<bool>("parses");
    QTest::newRow("application sheet") << ::readStyleSheet(sheetPath) << true;
    QTest::newRow("broken sheet") << "QLabel { color: red; " << false;
}

void tst_resources::styleSheetParses() {
    QFETCH(QString, sheet);
    QFETCH(bool, parses);
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &message) { warnings << message; });
    qApp->setStyleSheet(sheet);
    QLineEdit edit;
    edit.ensurePolished();
    const QString family = edit.font().family();
    qInstallMessageHandler(previous);
    qApp->setStyleSheet(QString());
    QCOMPARE(warnings.filter(QStringLiteral("Could not parse")).isEmpty(), parses);
    if (parses)
        QCOMPARE(family, QStringLiteral("Times New Roman"));
}

void tst_resources::images_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("size");
    QTest::newRow("down arrow") << ":/Icon/arrow-down.png" << 16;
    QTest::newRow("up arrow") << ":/Icon/arrow-up.png" << 16;
    QTest::newRow("left arrow") << ":/Icon/arrow-left.png" << 16;
    QTest::newRow("right arrow") << ":/Icon/arrow-right.png" << 16;
    QTest::newRow("logo") << ":/Image/logozvl.png" << 215;
    QTest::newRow("program icon") << ":/Icon/zevr-3g-config.png" << 128;
}

void tst_resources::images() {
    QFETCH(QString, path);
    QFETCH(int, size);
    const QResource resource(path);
    QVERIFY(resource.isValid());
    QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);

    const PngHeader header = pngHeader(resourceBytes(path));
    QCOMPARE(header.width, size);
    QCOMPARE(header.height, size);
    QCOMPARE(header.bitDepth, 8);
    QCOMPARE(header.colourType, 6); // RGBA
    const QImage image(path);
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0); // drawn on a transparent ground, not a square tile
}

// The Windows build cannot run here; at least the icon file it compiles in must be what the .rc expects.
void tst_resources::windowsIcon() {
    const QByteArray rc = resourceBytes(QStringLiteral(ZEVR_SOURCE_DIR "/resources/app.rc"));
    QVERIFY(rc.contains("IDI_ICON1 ICON \"zevr-3g-config.ico\""));
    const QByteArray ico = resourceBytes(QStringLiteral(ZEVR_SOURCE_DIR "/resources/zevr-3g-config.ico"));
    QVERIFY(ico.size() > 22 + 40);
    QDataStream in(ico);
    in.setByteOrder(QDataStream::LittleEndian);
    quint16 reserved, type, count, planes, bitCount;
    quint8 width, height, colours, zero;
    quint32 bytes, offset;
    in >> reserved >> type >> count >> width >> height >> colours >> zero >> planes >> bitCount >> bytes >> offset;
    QCOMPARE(type, quint16(1));
    QCOMPARE(count, quint16(1));
    QCOMPARE(int(width), 128);
    QCOMPARE(int(height), 128);
    QCOMPARE(bitCount, quint16(32));
    QCOMPARE(qint64(offset) + bytes, qint64(ico.size()));
    QCOMPARE(QImage::fromData(ico, "ICO").size(), QSize(128, 128));
}

void tst_resources::readStyleSheet_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("QLabel { color: red; }\r\n") << "QLabel { color: red; }\r\n";
    QTest::newRow("stops at a zero byte") << QByteArray("QLabel {}\0QMenu { color: red; }", 32) << "QLabel {}";
    QTest::newRow("zero byte first") << QByteArray("\0QLabel {}", 10) << "";
    QTest::newRow("Latin-1, not UTF-8") << QByteArray("/* \xd0\x9c */") << QString::fromLatin1("/* \xd0\x9c */");
    QTest::newRow("empty file") << QByteArray() << "";
}

void tst_resources::readStyleSheet() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("sheet.qss")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    file.close();
    QCOMPARE(::readStyleSheet(file.fileName()), expected);
    QCOMPARE(::readStyleSheet(dir.filePath(QStringLiteral("missing.qss"))), QString());
}

void tst_resources::lineEditBackground_data() {
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("colour");
    QTest::newRow("enabled") << true << QColor(255, 255, 255);
    QTest::newRow("disabled") << false << QColor(208, 208, 208);
}

void tst_resources::lineEditBackground() {
    QFETCH(bool, enabled);
    QFETCH(QColor, colour);
    qApp->setStyleSheet(::readStyleSheet(sheetPath));
    QLineEdit edit;
    edit.resize(120, 30);
    edit.setEnabled(enabled);
    const QColor seen = centreColour(edit);
    qApp->setStyleSheet(QString());
    QCOMPARE(seen, colour);
    // Without the sheet the platform look differs, so the colour above really comes from it.
    QLineEdit plain;
    plain.resize(120, 30);
    plain.setEnabled(enabled);
    if (!enabled)
        QVERIFY(centreColour(plain) != colour);
}

// The universal rule's font also replaces a font that a form sets on a widget.
void tst_resources::sheetFontWinsOverWidgetFont() {
    qApp->setStyleSheet(::readStyleSheet(sheetPath));
    QLineEdit edit;
    QFont own(QStringLiteral("DejaVu Sans"), 10);
    own.setBold(true);
    own.setItalic(true);
    edit.setFont(own);
    edit.ensurePolished();
    const QFont seen = edit.font();
    qApp->setStyleSheet(QString());
    QCOMPARE(seen.pointSize(), 12);
    QVERIFY(seen.family().contains(QStringLiteral("Times New Roman")));
    QVERIFY(!seen.bold());
    QVERIFY(!seen.italic());
}

// The meter fields start disabled; under the sheet they must look it, beside white enabled fields.
void tst_resources::meterFieldsGreyAtStart() {
    qApp->setStyleSheet(::readStyleSheet(sheetPath));
    MainWindow window;
    window.show();
    auto *meter = window.findChild<QLineEdit *>(QStringLiteral("lE_current_val_el_counter"));
    auto *address = window.findChild<QLineEdit *>(QStringLiteral("lE_1"));
    QVERIFY(meter && address);
    QVERIFY(!meter->isEnabled() && address->isEnabled());
    // Near the right end, past any default text.
    const QImage meterImage = meter->grab().toImage();
    const QImage addressImage = address->grab().toImage();
    const QColor meterColour = meterImage.pixelColor(meterImage.width() - 4, meterImage.height() / 2);
    const QColor addressColour = addressImage.pixelColor(addressImage.width() - 4, addressImage.height() / 2);
    qApp->setStyleSheet(QString());
    QCOMPARE(meterColour, QColor(208, 208, 208));
    QCOMPARE(addressColour, QColor(255, 255, 255));
}

QTEST_MAIN(tst_resources)
#include "tst_resources.moc"
