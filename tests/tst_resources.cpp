#include "app/stylesheet.h"

#include <QTemporaryDir>
#include <QtTest>

class tst_resources : public QObject {
    Q_OBJECT
private slots:
    // The sheet is read as Latin-1 up to its first zero byte, whatever the system's code page, as Qt reads a sheet
    // given by file name; a sheet that is not there reads as none.
    void readStyleSheet() {
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("sheet.qss")));
        const QByteArray bytes("/* \xd0\x9c */ QLabel {}\0QMenu { color: red; }", 40);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
        file.close();
        QCOMPARE(::readStyleSheet(file.fileName()), QString::fromLatin1("/* \xd0\x9c */ QLabel {}"));
        QCOMPARE(::readStyleSheet(QStringLiteral(":/style/missing.qss")), QString());
    }
};

QTEST_GUILESS_MAIN(tst_resources)
#include "tst_resources.moc"
