#include "app/stylesheet.h"

#include <algorithm>

#include <QRegularExpression>
#include <QResource>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

namespace {

const QString sheetPath = QStringLiteral(":/style/app.qss");

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString withoutComments(QString sheet) {
    return sheet.remove(
        QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
}

// Every selector of every rule, whitespace folded, in the order of the sheet.
QStringList selectorsOf(const QString &rules) {
    QStringList selectors;
    for (const QString &rule : rules.split(QLatin1Char('}'), Qt::SkipEmptyParts)) {
        if (!rule.contains(QLatin1Char('{')))
            continue;
        for (const QString &selector : rule.section(QLatin1Char('{'), 0, 0).split(QLatin1Char(',')))
            selectors << selector.simplified();
    }
    return selectors;
}

} // namespace

class tst_resources : public QObject {
    Q_OBJECT
private slots:
    void styleSheet();
    void images_data();
    void images();
    void readStyleSheet_data();
    void readStyleSheet();
};

void tst_resources::styleSheet() {
    const QByteArray bytes = fileBytes(sheetPath);
    QCOMPARE(QResource(sheetPath).compressionAlgorithm(), QResource::ZlibCompression);
    QCOMPARE(::readStyleSheet(sheetPath), QString::fromLatin1(bytes));
    QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
    QCOMPARE(bytes.count('\r'), bytes.count("\r\n"));
    // Read as Latin-1, the sheet is drawn as written only while its rules are ASCII.
    const QString rules = withoutComments(QString::fromUtf8(bytes));
    QVERIFY(std::all_of(rules.cbegin(), rules.cend(), [](QChar c) { return c.unicode() < 0x80; }));
    const QStringList expected =
        QStringLiteral(
            "QToolBar * QLineEdit QTextEdit QComboBox QSpinBox QDoubleSpinBox QComboBox::drop-down "
            "QComboBox::drop-down:on QComboBox::down-arrow QDateEdit QDateEdit::drop-down QDateEdit::down-arrow "
            "QLineEdit:disabled QComboBox:disabled QSpinBox:disabled QSpinBox::up-button QDoubleSpinBox::up-button "
            "QSpinBox::down-button QDoubleSpinBox::down-button QSpinBox::up-button:pressed "
            "QSpinBox::down-button:pressed QDoubleSpinBox::up-button:pressed QDoubleSpinBox::down-button:pressed "
            "QSpinBox::up-arrow QDoubleSpinBox::up-arrow QSpinBox::down-arrow QDoubleSpinBox::down-arrow "
            "QScrollBar:horizontal QScrollBar::handle:horizontal QScrollBar::add-line:horizontal "
            "QScrollBar::right-arrow:horizontal QScrollBar::sub-line:horizontal QScrollBar::left-arrow:horizontal "
            "QScrollBar:vertical QScrollBar::handle:vertical QScrollBar::add-line:vertical "
            "QScrollBar::down-arrow:vertical QScrollBar::sub-line:vertical QScrollBar::up-arrow:vertical "
            "QAbstractScrollArea QComboBox::item:selected QToolTip QMenuBar::item QMenuBar::item:selected "
            "QMenuBar::item:pressed QMenu "
            "QMenu::item:selected QTableView QHeaderView::section QPushButton QToolButton QPushButton:pressed "
            "QToolButton:pressed QPushButton:flat QToolButton:flat QPushButton:default QToolButton:default QGroupBox "
            "QGroupBox::title")
            .split(QLatin1Char(' '));
    QCOMPARE(selectorsOf(rules), expected);
    const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
    for (auto it = url.globalMatch(rules); it.hasNext();) {
        const QString image = it.next().captured(1);
        QVERIFY2(QFile::exists(image), qPrintable(image));
    }
}

void tst_resources::images_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<quint32>("size");
    QTest::newRow("down arrow") << ":/Icon/arrow-down.png" << 16u;
    QTest::newRow("up arrow") << ":/Icon/arrow-up.png" << 16u;
    QTest::newRow("left arrow") << ":/Icon/arrow-left.png" << 16u;
    QTest::newRow("right arrow") << ":/Icon/arrow-right.png" << 16u;
    QTest::newRow("logo") << ":/Image/logozvl.png" << 215u;
    QTest::newRow("program icon") << ":/Icon/zevr-3g-config.png" << 128u;
}

void tst_resources::images() {
    QFETCH(QString, path);
    QFETCH(quint32, size);
    QCOMPARE(QResource(path).compressionAlgorithm(), QResource::NoCompression);
    const QByteArray png = fileBytes(path);
    QVERIFY(png.startsWith("\x89PNG\r\n\x1a\n") && png.mid(12, 4) == "IHDR");
    QCOMPARE(qFromBigEndian<quint32>(png.constData() + 16), size);
    QCOMPARE(qFromBigEndian<quint32>(png.constData() + 20), size);
    QCOMPARE(png.mid(24, 2), QByteArray("\x08\x06", 2)); // 8 bits per channel, RGBA
}

void tst_resources::readStyleSheet_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QByteArray("QLabel { color: red; }\r\n") << "QLabel { color: red; }\r\n";
    QTest::newRow("stops at a zero byte") << QByteArray("QLabel {}\0QMenu { color: red; }", 32) << "QLabel {}";
    QTest::newRow("zero byte first") << QByteArray("\0QLabel {}", 10) << "";
    QTest::newRow("Latin-1, not UTF-8") << QByteArray("/* \xd0\x9c */") << QString::fromLatin1("/* \xd0\x9c */");
}

void tst_resources::readStyleSheet() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("sheet.qss")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    QCOMPARE(::readStyleSheet(file.fileName()), expected);
    QCOMPARE(::readStyleSheet(QStringLiteral(":/style/missing.qss")), QString());
}

QTEST_GUILESS_MAIN(tst_resources)
#include "tst_resources.moc"
