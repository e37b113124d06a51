#include "protocol/commands.h"

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

QByteArray single(const QString &included, const QString &analog, const QStringList &addresses = {}) {
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

QByteArray multi(const Channel &c1, const Channel &c2, const Channel &c3, const Channel &c4) {
    return multiChannel({c1, c2, c3, c4});
}

QByteArray pulse(const QString &reading, const QString &coefficient = "3200") {
    return meter(MeterType::Pulse, reading, coefficient);
}

void row(const char *name, const QByteArray &built, const QByteArray &expected) {
    QTest::newRow(name) << built << expected;
}

// Network address and CM count, then the further CM numbers; the rest is the form's record.
void cmRow(const char *checked, const char *head, const char *tail) {
    const QByteArray expected = bytes(head) + bytes("01 01 11 41 00 00 04 D2") + bytes(tail);
    QTest::addRow("CM %s", checked) << channelRecord(channel(checked)) << expected;
}

} // namespace

class tst_commands : public QObject {
    Q_OBJECT
private slots:
    void commandBytes_data();
    void commandBytes();
};

void tst_commands::commandBytes_data() {
    QTest::addColumn<QByteArray>("built");
    QTest::addColumn<QByteArray>("expected");

    row("w: no unit", single("", ""), bytes("434D4477 00 00000000"));
    row("w: unit 1", single("1", ""), bytes("434D4477 01 6F 00000000"));
    row("w: units 1-3, unit 2 analog", single("111", "01"), bytes("434D4477 03 6F7071 00000002"));
    row("w: all eight analog", single("11111111", "11111111"), bytes("434D4477 08 6F70717273747576 000000FF"));
    row("w: address 250", single("1", "", {"250"}), bytes("434D4477 01 FA 00000000"));
    row("w: address 0", single("1", "", {"0"}), bytes("434D4477 01 00 00000000"));
    row("w: address empty", single("1", "", {""}), bytes("434D4477 01 00 00000000"));

    const Channel form = channel("0000");
    row("x: form texts", multi(form, form, form, form), records(FormRecord, FormRecord, FormRecord, FormRecord));
    // The serial number keeps its third byte on every channel.
    row("x: examples, serial 99999 everywhere",
        multi(channel("1010", "15/06/2016", "B", "99999"), channel("0101", "15/06/2016", "B", "99999"),
              channel("0000", "01/01/2017", "A", "99999"), channel("0000", "01/01/2017", "A", "99999")),
        records("01 02 0F 06 10 42 00 01 86 9F 30 00", "02 02 0F 06 10 42 00 01 86 9F 40 00",
                "00 00 01 01 11 41 00 01 86 9F 00 00", "00 00 01 01 11 41 00 01 86 9F 00 00"));
    // An emptied code field still takes its byte, so nothing behind it moves.
    row("x: code emptied, date cleared", multi(form, channel("0000", "01/01/2017", ""), channel("0000", "//"), form),
        records(FormRecord, "00 00 01 01 11 00 00 00 04 D2 00 00", "00 00 00 00 30 41 00 00 04 D2 00 00", FormRecord));
    cmRow("0000", "00 00", "00 00");
    cmRow("1000", "01 01", "00 00");
    cmRow("1100", "01 02", "02 00");
    cmRow("1010", "01 02", "30 00");
    cmRow("1001", "01 02", "00 04");
    cmRow("1110", "01 03", "32 00");
    cmRow("1101", "01 03", "02 04");
    cmRow("1011", "01 03", "30 04");
    cmRow("1111", "01 04", "32 04");
    cmRow("0100", "02 01", "00 00");
    cmRow("0110", "02 02", "03 00");
    cmRow("0101", "02 02", "40 00");
    cmRow("0111", "02 03", "43 00");
    cmRow("0010", "03 01", "00 00");
    cmRow("0011", "03 02", "04 00");
    cmRow("0001", "04 01", "00 00");

    row("y: form texts", dateTime("00:00:00", "01/01/2017"), bytes("434D4479 000000 010111"));
    row("y: end of century", dateTime("23:59:59", "31/12/2099"), bytes("434D4479 173B3B 1F0C63"));
    row("y: taken as typed", dateTime("99:99:99", "99/99/2017"), bytes("434D4479 636363 636311"));
    row("y: year 1999", dateTime("00:00:00", "01/01/1999"), bytes("434D4479 000000 0101FF"));
    row("y: year 2256", dateTime("00:00:00", "01/01/2256"), bytes("434D4479 000000 010100"));
    row("y: year 0000", dateTime("00:00:00", "01/01/0000"), bytes("434D4479 000000 010130"));
    row("y: both cleared", dateTime("::", "//"), bytes("434D4479 000000 000030"));
    row("y: time partly filled", dateTime("7:5:", "01/01/2017"), bytes("434D4479 070500 010111"));

    row("z: no meter", meter(MeterType::None, "0001234.5", "3200"), bytes("434D447A 00 00000000 0000"));
    row("z: RS485", meter(MeterType::Rs485, "0001234.5", "3200"), bytes("434D447A 02 00000000 0000"));
    row("z: pulse, form texts", pulse("0000000.0"), bytes("434D447A 01 00000000 0140"));
    row("z: 1234.5", pulse("0001234.5"), bytes("434D447A 01 00003039 0140"));
    row("z: 0.7", pulse("0000000.7"), bytes("434D447A 01 00000007 0140"));
    row("z: 0.3", pulse("0000000.3"), bytes("434D447A 01 00000003 0140"));
    row("z: 12.3", pulse("0000012.3"), bytes("434D447A 01 0000007B 0140"));
    row("z: 1234567.8", pulse("1234567.8"), bytes("434D447A 01 00BC614E 0140"));
    row("z: 9999999.9", pulse("9999999.9"), bytes("434D447A 01 05F5E0FF 0140"));
    row("z: tenth left blank", pulse("1234567."), bytes("434D447A 01 00BC6146 0140"));
    row("z: bare point", pulse("."), bytes("434D447A 01 00000000 0140"));
    row("z: not a number", pulse("12a4.5"), bytes("434D447A 01 00000000 0140"));
    row("z: constant 3205", pulse("0000000.0", "3205"), bytes("434D447A 01 00000000 0140"));
    row("z: constant 5", pulse("0000000.0", "5"), bytes("434D447A 01 00000000 0000"));
    row("z: constant 99999", pulse("0000000.0", "99999"), bytes("434D447A 01 00000000 270F"));
}

void tst_commands::commandBytes() {
    QFETCH(QByteArray, built);
    QFETCH(QByteArray, expected);
    QCOMPARE(built.toHex(' '), expected.toHex(' '));
}

QTEST_APPLESS_MAIN(tst_commands)
#include "tst_commands.moc"
