#include "protocol/commanddecoder.h"
#include "protocol/commands.h"

#include <QJsonDocument>

#include <QtTest>

using namespace Commands;

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

const char *const FormRecord = "00 00 01 01 11 41 00 00 04 D2 00 00";

QByteArray records(const char *r1, const char *r2, const char *r3, const char *r4) {
    return bytes("434D4478") + bytes(r1) + bytes(r2) + bytes(r3) + bytes(r4);
}

// Flags such as "10100000" name units or CM boxes by position: '1' at index i sets the (i+1)-th.
bool flagAt(const QString &flags, int index) { return index < flags.size() && flags.at(index) == QLatin1Char('1'); }

Encoded single(const QString &included, const QString &analog, const QStringList &addresses = {}) {
    const QStringList form = {"111", "112", "113", "114", "115", "116", "117", "118"};
    ControlUnits units;
    for (int i = 0; i < ControlUnitCount; ++i)
        units[i] = {flagAt(included, i), addresses.isEmpty() ? form.at(i) : addresses.value(i), flagAt(analog, i)};
    return singleChannel(units);
}

// The label holds the lowest checked CM number, as the station tab keeps it.
Channel channel(const QString &cm, const QString &date = "01/01/2017", const QString &code = "A",
                const QString &serial = "01234") {
    const int lowest = cm.indexOf(QLatin1Char('1'));
    Channel result{lowest < 0 ? QString() : QString::number(lowest + 1), {}, date, code, serial};
    for (int i = 0; i < CmPerChannel; ++i)
        result.cmChecked[i] = flagAt(cm, i);
    return result;
}

Encoded pulse(const QString &reading, const QString &coefficient = "3200") {
    return meter(MeterType::Pulse, reading, coefficient);
}

void row(const char *name, const Encoded &built, const QByteArray &expected) {
    QTest::newRow(name) << built << Encoded{expected, QString()};
}

// Network address and CM count, then the further CM numbers; the rest is the form's record.
void cmRow(const char *checked, const char *head, const char *tail) {
    const QByteArray expected = bytes(head) + bytes("01 01 11 41 00 00 04 D2") + bytes(tail);
    const Encoded built = multiChannel({channel(checked), channel("0000"), channel("0000"), channel("0000")});
    QTest::addRow("CM %s", checked) << Encoded{built.bytes.mid(4, 12), built.refusal} << Encoded{expected, QString()};
}

void refused(const char *name, const Encoded &built, const QString &field, const QString &problem) {
    QTest::newRow(name) << built
                        << Encoded{{}, QStringLiteral("Команда не отправлена: %1 — %2").arg(field, problem), field};
}

} // namespace

Q_DECLARE_METATYPE(Encoded)

class tst_commands : public QObject {
    Q_OBJECT
private slots:
    void commandBytes_data() {
        QTest::addColumn<Encoded>("built");
        QTest::addColumn<Encoded>("expected");
        row("w: no unit", single("", ""), bytes("434D4477 00 00000000"));
        row("w: all eight analog", single("11111111", "11111111"), bytes("434D4477 08 6F70717273747576 000000FF"));
        row("w: address empty", single("1", "", {""}), bytes("434D4477 01 00 00000000"));
        row("w: address 255 fits its byte", single("1", "", {"255"}), bytes("434D4477 01 FF 00000000"));
        row("w: a unit left out does not refuse", single("1", "", {"7", "300"}), bytes("434D4477 01 07 00000000"));
        const Channel form = channel("0000");
        // The serial number keeps its third byte on every channel.
        row("x: examples, serial 99999 everywhere",
            multiChannel({channel("1010", "15/06/2016", "B", "99999"), channel("0101", "15/06/2016", "B", "99999"),
                          channel("0000", "01/01/2017", "A", "99999"), channel("0000", "01/01/2017", "a", "99999")}),
            records("01 02 0F 06 10 42 00 01 86 9F 30 00", "02 02 0F 06 10 42 00 01 86 9F 40 00",
                    "00 00 01 01 11 41 00 01 86 9F 00 00", "00 00 01 01 11 61 00 01 86 9F 00 00"));
        // An emptied code field still takes its byte, so nothing behind it moves.
        row("x: code emptied, leap day of 2000",
            multiChannel({form, channel("0000", "01/01/2017", ""), channel("0000", "29/02/2000"), form}),
            records(FormRecord, "00 00 01 01 11 00 00 00 04 D2 00 00", "00 00 1D 02 00 41 00 00 04 D2 00 00",
                    FormRecord));
        row("x: codes z and Z, years 2000 and 2255",
            multiChannel({channel("0000", "01/01/2000", "z"), channel("0000", "31/12/2255", "Z"), form, form}),
            records("00 00 01 01 00 7A 00 00 04 D2 00 00", "00 00 1F 0C FF 5A 00 00 04 D2 00 00", FormRecord,
                    FormRecord));
        cmRow("1000", "01 01", "00 00");
        cmRow("1001", "01 02", "00 04");
        cmRow("1111", "01 04", "32 04");
        cmRow("0011", "03 02", "04 00");
        cmRow("0001", "04 01", "00 00");
        row("y: time cleared", dateTime("::", "01/01/2017"), bytes("434D4479 000000 010111"));
        row("y: time partly filled", dateTime("7:5:", "01/01/2017"), bytes("434D4479 070500 010111"));
        row("y: leap day of 2028", dateTime("00:00:00", "29/02/2028"), bytes("434D4479 000000 1D021C"));
        row("y: last day of 2255", dateTime("00:00:00", "31/12/2255"), bytes("434D4479 000000 1F0CFF"));
        row("z: 1234.5", pulse("0001234.5"), bytes("434D447A 01 00003039 0140"));
        row("z: tenth left blank", pulse("1234567."), bytes("434D447A 01 00BC6146 0140"));
        row("z: bare point", pulse("."), bytes("434D447A 01 00000000 0140"));
        row("z: constant 10", pulse("0000000.0", "00010"), bytes("434D447A 01 00000000 0001"));
        // A value that its field cannot carry unchanged keeps the whole command from going out, and the text says which
        // field and why; a value that fits goes out as it stands, whether or not the controller would like it.
        const QString tooLarge = QStringLiteral("%1 больше %2 и не помещается в команду");
        const QString notDigits = QStringLiteral("«%1»: допустимы только цифры 0–9");
        const QString years = QStringLiteral("год %1 вне диапазона 2000–2255");
        refused("w: Arabic-Indic digits", single("1", "", {"١٢٣"}), "адрес БУ1", notDigits.arg("١٢٣"));
        refused("x: Cyrillic code letter", multiChannel({channel("0000", "01/01/2017", "А"), form, form, form}),
                "код подразделения канала 1", "«А»: нужна одна латинская буква A–Z или a–z");
        refused("x: Arabic-Indic serial", multiChannel({form, form, channel("0000", "01/01/2017", "A", "١٢٣"), form}),
                "порядковый номер канала 3", notDigits.arg("١٢٣"));
        refused("y: year 2256", dateTime("00:00:00", "01/01/2256"), "дата", years.arg("2256"));
        refused("y: Arabic-Indic hour", dateTime("١٢:00:00", "01/01/2017"), "время", notDigits.arg("١٢"));
        refused("z: not a number", pulse("12a4.5"), "текущее значение", "«12a4.5»: допустимы только цифры 0–9 и точка");
        // A time or date that no clock can hold, leap years counted.
        const auto clockRefused = [](const char *name, const QString &time, const QString &date,
                                     const QString &problem) {
            refused(name, dateTime(time, date), date == "01/01/2017" ? "время" : "дата", problem);
        };
        clockRefused("y: minute 60", "23:60:00", "01/01/2017", "минута 60 не бывает, нужна 0–59");
        clockRefused("y: second 60", "23:59:60", "01/01/2017", "секунда 60 не бывает, нужна 0–59");
        clockRefused("y: 29/02/2027", "00:00:00", "29/02/2027", "день 29 не бывает, в феврале 2027 года нужен 1–28");
        clockRefused("y: 29/02/2100", "00:00:00", "29/02/2100", "день 29 не бывает, в феврале 2100 года нужен 1–28");
        clockRefused("y: 31/04", "00:00:00", "31/04/2026", "день 31 не бывает, в апреле нужен 1–30");
        clockRefused("y: day 0", "00:00:00", "00/01/2026", "день 0 не бывает, в январе нужен 1–31");
        clockRefused("y: day cleared", "00:00:00", "/12/2026", "день не указан, в декабре нужен 1–31");
        clockRefused("y: month 13", "00:00:00", "01/13/2026", "месяц 13 не бывает, нужен 1–12");
        clockRefused("y: day and month cleared", "00:00:00", "//2017", "месяц не указан, нужен 1–12");
        // Beyond a byte, a part is refused as the command's limit, before any clock is asked.
        clockRefused("y: hour 256", "256:00:00", "01/01/2017", tooLarge.arg("256").arg(255));
        clockRefused("y: month 256", "00:00:00", "01/256/2017", tooLarge.arg("256").arg(255));
        // Two values wrong at once: the first in the tab's order is named.
        refused("w: two addresses", single("11", "", {"256", "abc"}), "адрес БУ1", tooLarge.arg("256").arg(255));
        refused("x: code of channel 1, serial of channel 2",
                multiChannel({channel("0000", "01/01/2017", "А"), channel("0000", "01/01/2017", "A", "x"), form, form}),
                "код подразделения канала 1", "«А»: нужна одна латинская буква A–Z или a–z");
        refused("y: time and date", dateTime("24:00:00", "01/01/1999"), "время", "час 24 не бывает, нужен 0–23");
        refused("z: reading and constant", pulse("12a4.5", "3205"), "текущее значение",
                "«12a4.5»: допустимы только цифры 0–9 и точка");
        refused("x: 31 April", multiChannel({form, channel("0000", "31/04/2016"), form, form}), "дата выпуска канала 2",
                "день 31 не бывает, в апреле нужен 1–30");
        // The command carries the constant in tens: 3205 would arrive as 3200, 5 as 0. A constant of 0 is no meter's.
        const QString constantRange = QStringLiteral("нужна 10–655350, кратная 10");
        refused("z: constant 5", pulse("0000000.0", "5"), "коэффициент", "5 не кратно 10, дошло бы как 0");
        refused("z: constant 0", pulse("0000000.0", "00000"), "коэффициент",
                "«00000»: постоянная 0 не бывает, " + constantRange);
        refused("z: constant cleared", pulse("0000000.0", ""), "коэффициент",
                "постоянная не указана, " + constantRange);
        refused("z: constant beyond two bytes", pulse("0000000.0", "655360"), "коэффициент",
                tooLarge.arg("655360").arg(655350));
        refused("z: reading beyond four bytes of tenths", pulse("429496729.6"), "текущее значение",
                tooLarge.arg("429496729.6").arg("429496729.5"));
        row("z: reading at the edge of four bytes", pulse("429496729.5"), bytes("434D447A 01 FFFFFFFF 0140"));
        row("z: constant at the edge of two bytes", pulse("0000000.0", "655350"), bytes("434D447A 01 00000000 FFFF"));
        row("z: no meter ignores its constant", meter(MeterType::None, "0000000.0", "3205"),
            bytes("434D447A 00 00000000 0000"));
        row("z: an RS485 meter ignores its fields", meter(MeterType::Rs485, "12a4.5", "655360"),
            bytes("434D447A 02 00000000 0000"));
    }

    void commandBytes() {
        QFETCH(Encoded, built);
        QFETCH(Encoded, expected);
        QCOMPARE(built.refusal, expected.refusal);
        QCOMPARE(built.field, expected.field);
        QCOMPARE(built.bytes.toHex(' '), expected.bytes.toHex(' '));
    }

    void decodedFields_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("json");
        const auto decoded = [](const char *name, const char *hex, const char *json) {
            QTest::newRow(name) << bytes(hex) << QByteArray(json);
        };
        decoded("w, all the units a command takes", "434D4477 08 0102030405060708 00000081",
                R"({"addresses":[1,2,3,4,5,6,7,8],"analog":[1,8],"letter":"w","mask":129,"units":8})");
        decoded("y", "434D4479 173B3B 1F0C63",
                R"({"date":"31/12/2099","day":31,"hours":23,"letter":"y","minutes":59,"month":12,"seconds":59,)"
                R"("time":"23:59:59","year":2099})");
        decoded("z", "434D447A 01 00003039 0140",
                R"({"coef":3200,"letter":"z","reading":"1234.5","tenths":12345,"type":"pulse","type_code":1})");
        // A code is shown as its letter only where it is printable: a space or a DEL would be lost on a line.
        decoded("x",
                "434D4478 01021F0CFF200001869F3200 000001011121000004D20000 00000101117E000004D20000 "
                "00000101117F000004D200F0",
                R"({"channels":[{"addr":1,"cm":2,"code":"0x20","date":"31/12/2255","more":[2,3],"serial":99999},)"
                R"({"addr":0,"cm":0,"code":"!","date":"01/01/2017","more":[],"serial":1234},)"
                R"({"addr":0,"cm":0,"code":"~","date":"01/01/2017","more":[],"serial":1234},)"
                R"({"addr":0,"cm":0,"code":"0x7F","date":"01/01/2017","more":[15],"serial":1234}],"letter":"x"})");
        // A mask bit of a unit past the count is told; a controller would read it as a mode.
        QVERIFY(decodeCommand(bytes("434D4477 01 6F 00000002")).text.endsWith(" stray-mask=0x00000002"));
    }

    // What the simulator and the sender's --json print of a command: each field under its name, numbers as numbers.
    void decodedFields() {
        QFETCH(QByteArray, command);
        const DecodedCommand decoded = decodeCommand(command);
        QTEST(QJsonDocument(decoded.json).toJson(QJsonDocument::Compact), "json");
        QVERIFY(decoded.text.startsWith(decoded.json.value("letter").toString() + ' ')); // the line's first word
    }
};

QTEST_APPLESS_MAIN(tst_commands)
#include "tst_commands.moc"
