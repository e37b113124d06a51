#include "protocol/commanddecoder.h"
#include "tools/zevr-sim/commandstream.h"

#include <QJsonDocument>

#include <QtTest>

namespace {

QByteArray hex(const char *text) { return QByteArray::fromHex(text); }

const QByteArray y = hex("434D4479 173B3B 1F0C63");
const QString yText = QStringLiteral("y time=23:59:59 date=31/12/2099");
const QByteArray z = hex("434D447A 01 00003039 0140");
const QString zText = QStringLiteral("z type=pulse reading=1234.5 coef=3200");
const QByteArray w = hex("434D4477 03 6F7071 00000002");
const QByteArray x = "CMDx" + hex("01020F0610420001869F3000 02020F0610420001869F4000 0000010111410000 04D20000"
                                  "0104FFFFFF000000FFFF3204");

} // namespace

class tst_simdecoder : public QObject {
    Q_OBJECT

private slots:
    void decodesStream_data() {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("texts");
        const auto row = [](const char *name, const QList<QByteArray> &chunks, const QStringList &texts) {
            QTest::newRow(name) << chunks << texts;
        };
        row("z unknown type", {hex("434D447A 07 00000001 0001")}, {"z type=unknown(7) reading=0.1 coef=10"});
        row("w address bytes that spell CMD", {hex("434D4477 03 434D44 00000000")},
            {"w units=3 addr=67,77,68 analog=none"});
        row("w mask bit of a unit not sent", {hex("434D4477 01 FA 00000003")},
            {"w units=1 addr=250 analog=1 stray-mask=0x00000002"});
        row("x", {x},
            {"x ch1 addr=1 cm=2 date=15/06/2016 code=B serial=99999 more=3"
             " | ch2 addr=2 cm=2 date=15/06/2016 code=B serial=99999 more=4"
             " | ch3 addr=0 cm=0 date=01/01/2017 code=A serial=1234 more=none"
             " | ch4 addr=1 cm=4 date=255/255/2255 code=- serial=65535 more=2,3,4"});
        row("probe, answer gap, command", {probeText, {}, y}, {"probe", yText});
        // A controller that answers fast, or a sender that does not wait, leaves both in one read.
        row("probe and command in one read", {probeText + y}, {"probe", yText});
        row("command in three reads", {y.left(2), y.mid(2, 5), y.mid(7)}, {yText + " (arrived in 3 pieces)"});
        row("'w' whose count comes later", {"CMDw", w.mid(4)},
            {"w units=3 addr=111,112,113 analog=2 (arrived in 2 pieces)"});
        row("command cut by a quiet gap", {y.left(6), {}, y.mid(6)},
            {"truncated 'y' command, 6 of 10 bytes: 43 4D 44 79 17 3B", "junk, 4 bytes: 3B 1F 0C 63"});
        row("junk between commands", {"ab" + y + "cd" + z},
            {"junk, 2 bytes: 61 62", yText, "junk, 2 bytes: 63 64", zText});
        row("unknown letter, then a command", {"CMDq" + hex("0102") + y},
            {"unknown command letter 'q' (0x71): 43 4D 44 71 01 02", yText});
        row("'w' with nine units", {"CMDw" + hex("09 01") + z},
            {"unknown 'w' command with 9 units (at most 8): 43 4D 44 77 09 01", zText});
        row("prefix alone", {"CMD"}, {"truncated command without its letter: 43 4D 44"});
        row("probe cut short", {"ZEVR-3G"}, {"truncated probe, 7 of 14 bytes: 5A 45 56 52 2D 33 47"});
    }

    // Each chunk is one read; an empty chunk stands for a quiet gap, and the line falls quiet at the end. Every byte
    // fed comes back in exactly one event, in order.
    void decodesStream() {
        QFETCH(QList<QByteArray>, chunks);
        CommandStream stream;
        QStringList texts;
        QByteArray fed, reported;
        for (const QByteArray &chunk : chunks + QList<QByteArray>{{}}) {
            fed += chunk;
            for (const StreamEvent &event : chunk.isEmpty() ? stream.endOfBurst() : stream.feed(chunk)) {
                texts << event.toText();
                reported += event.bytes;
            }
        }
        QTEST(texts, "texts");
        QCOMPARE(reported.toHex(' '), fed.toHex(' '));
    }

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
    }
};

QTEST_GUILESS_MAIN(tst_simdecoder)
#include "tst_simdecoder.moc"
