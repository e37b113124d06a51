#include "protocol/commanddecoder.h"

#include <QJsonDocument>

#include <QtTest>

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

const QByteArray y = hex("434D4479 173B3B 1F0C63");
const QByteArray z = hex("434D447A 01 00003039 0140");
const QByteArray w = hex("434D4477 03 6F7071 00000002");

} // namespace

class tst_simdecoder : public QObject {
    Q_OBJECT

private slots:
    void fieldsAsNumbers_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("w") << w
                           << QByteArray(R"({"addresses":[111,112,113],"analog":[2],"letter":"w","mask":2,"units":3})");
        QTest::newRow("y") << y
                           << QByteArray(
                                  R"({"date":"31/12/2099","day":31,"hours":23,"letter":"y","minutes":59,"month":12,)"
                                  R"("seconds":59,"time":"23:59:59","year":2099})");
        QTest::newRow("z") << z
                           << QByteArray(
                                  R"({"coef":3200,"letter":"z","reading":"1234.5","tenths":12345,"type":"pulse",)"
                                  R"("type_code":1})");
    }

    // What --json prints of a command: each field under its name, numbers as numbers.
    void fieldsAsNumbers() {
        QFETCH(QByteArray, command);
        QTEST(QJsonDocument(decodeCommand(command).json).toJson(QJsonDocument::Compact), "json");
        QVERIFY(!decodeCommand(command).text.contains("stray")); // every mask bit belongs to a unit
    }
};

QTEST_GUILESS_MAIN(tst_simdecoder)
#include "tst_simdecoder.moc"
