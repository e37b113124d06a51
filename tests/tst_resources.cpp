#include "app/stylesheet.h"

#include <algorithm>

#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString sheetPath = QStringLiteral(":/style/app.qss");

QString withoutComments(QString sheet) {
    return sheet.remove(
        QRegularExpression(QStringLiteral("/\\*.*?\\*/"), QRegularExpression::DotMatchesEverythingOption));
}

} // namespace

class tst_resources : public QObject {
    Q_OBJECT
private slots:
    // Read as Latin-1, the sheet is drawn as written only while its rules are ASCII; every image it names is there.
    void styleSheet() {
        const QString rules = withoutComments(::readStyleSheet(sheetPath));
        QVERIFY(rules.contains('{'));
        QVERIFY(std::all_of(rules.cbegin(), rules.cend(), [](QChar c) { return c.unicode() < 0x80; }));
        const QRegularExpression url(QStringLiteral("url\\(([^)]*)\\)"));
        for (auto it = url.globalMatch(rules); it.hasNext();) {
            const QString image = it.next().captured(1);
            QVERIFY2(!QImage(image).isNull(), qPrintable(image));
        }
    }

    void readStyleSheet_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QByteArray("QLabel { color: red; }\r\n") << "QLabel { color: red; }\r\n";
        QTest::newRow("stops at a zero byte") << QByteArray("QLabel {}\0QMenu { color: red; }", 32) << "QLabel {}";
        QTest::newRow("Latin-1, not UTF-8") << QByteArray("/* \xd0\x9c */") << QString::fromLatin1("/* \xd0\x9c */");
    }

    void readStyleSheet() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("sheet.qss")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QCOMPARE(::readStyleSheet(file.fileName()), expected);
        QCOMPARE(::readStyleSheet(QStringLiteral(":/style/missing.qss")), QString());
    }
};

QTEST_GUILESS_MAIN(tst_resources)
#include "tst_resources.moc"
