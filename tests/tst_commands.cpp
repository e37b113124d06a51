#include "mainwindow/commands.h"

#include <QtTest>

Q_DECLARE_METATYPE(Commands::Channel)

using namespace Commands;

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

// "10100000" names units (or CM boxes) by position: '1' at index i means the (i+1)-th is set.
bool flagAt(const QString &flags, int index) { return index < flags.size() && flags.at(index) == QLatin1Char('1'); }

ControlUnits units(const QString &included, const QString &analog, const QStringList &addresses) {
    ControlUnits result;
    for (int index = 0; index < ControlUnitCount; ++index)
        result[index] = {flagAt(included, index), addresses.value(index), flagAt(analog, index)};
    return result;
}

QStringList formAddresses() { return {"111", "112", "113", "114", "115", "116", "117", "118"}; }

Channel channel(const QString &label, const QString &cm, const QString &date, const QString &code,
                const QString &serial) {
    Channel result{label, {}, date, code, serial};
    for (int index = 0; index < CmPerChannel; ++index)
        result.cmChecked[index] = flagAt(cm, index);
    return result;
}

Channel formChannel() { return channel(QString(), "0000", "01/01/2017", "A", "01234"); }

} // namespace

class tst_commands : public QObject {
    Q_OBJECT
private slots:
    void singleChannelBytes_data();
    void singleChannelBytes();
    void multiChannelBytes_data();
    void multiChannelBytes();
    void furtherCmNumbers_data();
    void furtherCmNumbers();
    void dateTimeBytes_data();
    void dateTimeBytes();
    void meterBytes_data();
    void meterBytes();
    void readingFromPartlyEmptiedMask_data();
    void readingFromPartlyEmptiedMask();
};

void tst_commands::singleChannelBytes_data() {
    QTest::addColumn<QString>("included");
    QTest::addColumn<QString>("analog");
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<QByteArray>("expected");

    const QStringList form = formAddresses();
    QTest::newRow("no unit") << "00000000"
                             << "00000000" << form << bytes("434D4477 00 00000000");
    QTest::newRow("unit 1 digital") << "10000000"
                                    << "00000000" << form << bytes("434D4477 01 6F 00000000");
    QTest::newRow("units 1-3, unit 2 analog") << "11100000"
                                              << "01000000" << form << bytes("434D4477 03 6F7071 00000002");
    QTest::newRow("all eight analog") << "11111111"
                                      << "11111111" << form << bytes("434D4477 08 6F707172737475 76 000000FF");
    // A left-out unit gives neither its address nor its mask bit, even when its mode is analog.
    QTest::newRow("unit 3 left out") << "10000000"
                                     << "00100000" << form << bytes("434D4477 01 6F 00000000");
    QTest::newRow("unit 1 analog, unit 3 left out") << "10000000"
                                                    << "10100000" << form << bytes("434D4477 01 6F 00000001");
    // Addresses are packed, mask bits keep the unit's position.
    QTest::newRow("units 1 and 3") << "10100000"
                                   << "00100000" << form << bytes("434D4477 02 6F71 00000004");
    QTest::newRow("address 250") << "10000000"
                                 << "00000000" << QStringList{"250"} << bytes("434D4477 01 FA 00000000");
    QTest::newRow("address 0") << "10000000"
                               << "00000000" << QStringList{"0"} << bytes("434D4477 01 00 00000000");
    QTest::newRow("address empty") << "10000000"
                                   << "00000000" << QStringList{""} << bytes("434D4477 01 00 00000000");
    QTest::newRow("address 300 keeps low bits") << "10000000"
                                                << "00000000" << QStringList{"300"} << bytes("434D4477 01 2C 00000000");
    QTest::newRow("address not a number") << "10000000"
                                          << "00000000" << QStringList{"1x"} << bytes("434D4477 01 00 00000000");
}

void tst_commands::singleChannelBytes() {
    QFETCH(QString, included);
    QFETCH(QString, analog);
    QFETCH(QStringList, addresses);
    QFETCH(QByteArray, expected);
    QCOMPARE(singleChannel(units(included, analog, addresses)).toHex(' '), expected.toHex(' '));
}

void tst_commands::multiChannelBytes_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<Channel>("changed");
    QTest::addColumn<QByteArray>("expectedRecord");

    const QByteArray formRecord = bytes("00 00 01 01 11 41 00 00 04 D2 00 00");
    QTest::newRow("form texts") << 0 << formChannel() << formRecord;
    QTest::newRow("channel 1, CM1+CM3") << 0 << channel("1", "1010", "15/06/2016", "B", "99999")
                                        << bytes("01 02 0F 06 10 42 00 01 86 9F 30 00");
    // The serial number keeps its third byte on every channel.
    QTest::newRow("channel 2, CM2+CM4") << 1 << channel("2", "0101", "15/06/2016", "B", "99999")
                                        << bytes("02 02 0F 06 10 42 00 01 86 9F 40 00");
    QTest::newRow("channel 3, serial 99999")
        << 2 << channel("", "0000", "01/01/2017", "A", "99999") << bytes("00 00 01 01 11 41 00 01 86 9F 00 00");
    QTest::newRow("channel 4, serial 99999")
        << 3 << channel("", "0000", "01/01/2017", "A", "99999") << bytes("00 00 01 01 11 41 00 01 86 9F 00 00");
    QTest::newRow("date cleared") << 0 << channel("", "0000", "//", "A", "01234")
                                  << bytes("00 00 00 00 30 41 00 00 04 D2 00 00");
    QTest::newRow("day 99, year 9999") << 0 << channel("", "0000", "99/12/9999", "A", "01234")
                                       << bytes("00 00 63 0C 3F 41 00 00 04 D2 00 00");
    // An emptied code field still takes its byte, so nothing behind it moves.
    QTest::newRow("code emptied on channel 2")
        << 1 << channel("", "0000", "01/01/2017", "", "01234") << bytes("00 00 01 01 11 00 00 00 04 D2 00 00");
    QTest::newRow("label blank") << 2 << channel(" ", "0000", "01/01/2017", "z", "")
                                 << bytes("00 00 01 01 11 7A 00 00 00 00 00 00");
}

void tst_commands::multiChannelBytes() {
    QFETCH(int, index);
    QFETCH(Channel, changed);
    QFETCH(QByteArray, expectedRecord);

    Channels channels;
    channels.fill(formChannel());
    channels[index] = changed;

    QByteArray expected = bytes("434D4478");
    const QByteArray formRecord = channelRecord(formChannel());
    for (int record = 0; record < ChannelCount; ++record)
        expected.append(record == index ? expectedRecord : formRecord);
    const QByteArray command = multiChannel(channels);
    QCOMPARE(command.size(), 52);
    QCOMPARE(command.toHex(' '), expected.toHex(' '));
}

void tst_commands::furtherCmNumbers_data() {
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("none") << "0000"
                          << "" << bytes("00 00 0000");
    QTest::newRow("CM1") << "1000"
                         << "1" << bytes("01 01 0000");
    QTest::newRow("CM1 CM2") << "1100"
                             << "1" << bytes("01 02 0200");
    QTest::newRow("CM1 CM3") << "1010"
                             << "1" << bytes("01 02 3000");
    QTest::newRow("CM1 CM4") << "1001"
                             << "1" << bytes("01 02 0004");
    QTest::newRow("CM1 CM2 CM3") << "1110"
                                 << "1" << bytes("01 03 3200");
    QTest::newRow("CM1 CM2 CM4") << "1101"
                                 << "1" << bytes("01 03 0204");
    QTest::newRow("CM1 CM3 CM4") << "1011"
                                 << "1" << bytes("01 03 3004");
    QTest::newRow("CM1 CM2 CM3 CM4") << "1111"
                                     << "1" << bytes("01 04 3204");
    QTest::newRow("CM2") << "0100"
                         << "2" << bytes("02 01 0000");
    QTest::newRow("CM2 CM3") << "0110"
                             << "2" << bytes("02 02 0300");
    QTest::newRow("CM2 CM4") << "0101"
                             << "2" << bytes("02 02 4000");
    QTest::newRow("CM2 CM3 CM4") << "0111"
                                 << "2" << bytes("02 03 4300");
    QTest::newRow("CM3") << "0010"
                         << "3" << bytes("03 01 0000");
    QTest::newRow("CM3 CM4") << "0011"
                             << "3" << bytes("03 02 0400");
    QTest::newRow("CM4") << "0001"
                         << "4" << bytes("04 01 0000");
}

void tst_commands::furtherCmNumbers() {
    QFETCH(QString, checked);
    QFETCH(QString, label);
    QFETCH(QByteArray, expected);

    const QByteArray record = channelRecord(channel(label, checked, "01/01/2017", "A", "01234"));
    QCOMPARE(record.size(), 12);
    const QByteArray got = record.left(2) + record.mid(10);
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
    QCOMPARE(record.mid(2, 8).toHex(' '), bytes("01 01 11 41 00 00 04 D2").toHex(' '));
}

void tst_commands::dateTimeBytes_data() {
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("form texts") << "00:00:00"
                                << "01/01/2017" << bytes("434D4479 000000 010111");
    QTest::newRow("end of century") << "23:59:59"
                                    << "31/12/2099" << bytes("434D4479 173B3B 1F0C63");
    QTest::newRow("taken as typed") << "99:99:99"
                                    << "99/99/2017" << bytes("434D4479 636363 636311");
    QTest::newRow("year 1999") << "00:00:00"
                               << "01/01/1999" << bytes("434D4479 000000 0101FF");
    QTest::newRow("year 2256") << "00:00:00"
                               << "01/01/2256" << bytes("434D4479 000000 010100");
    QTest::newRow("year 0000") << "00:00:00"
                               << "01/01/0000" << bytes("434D4479 000000 010130");
    QTest::newRow("both cleared") << "::"
                                  << "//" << bytes("434D4479 000000 000030");
    QTest::newRow("time partly filled") << "7:5:"
                                        << "01/01/2017" << bytes("434D4479 070500 010111");
    QTest::newRow("parts missing") << "12:30"
                                   << "05" << bytes("434D4479 0C1E00 050030");
}

void tst_commands::dateTimeBytes() {
    QFETCH(QString, time);
    QFETCH(QString, date);
    QFETCH(QByteArray, expected);
    QCOMPARE(dateTime(time, date).toHex(' '), expected.toHex(' '));
}

void tst_commands::meterBytes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("coefficient");
    QTest::addColumn<QByteArray>("expected");

    const int none = int(MeterType::None), pulse = int(MeterType::Pulse), rs485 = int(MeterType::Rs485);
    QTest::newRow("no meter") << none << "0000000.0"
                              << "3200" << bytes("434D447A 00 00000000 0000");
    QTest::newRow("no meter ignores fields") << none << "0001234.5"
                                             << "3200" << bytes("434D447A 00 00000000 0000");
    QTest::newRow("pulse, form texts") << pulse << "0000000.0"
                                       << "3200" << bytes("434D447A 01 00000000 0140");
    QTest::newRow("1234.5") << pulse << "0001234.5"
                            << "3200" << bytes("434D447A 01 00003039 0140");
    QTest::newRow("0.7 exactly") << pulse << "0000000.7"
                                 << "3200" << bytes("434D447A 01 00000007 0140");
    QTest::newRow("0.3") << pulse << "0000000.3"
                         << "3200" << bytes("434D447A 01 00000003 0140");
    QTest::newRow("12.3") << pulse << "0000012.3"
                          << "3200" << bytes("434D447A 01 0000007B 0140");
    QTest::newRow("1234567.8 exactly") << pulse << "1234567.8"
                                       << "3200" << bytes("434D447A 01 00BC614E 0140");
    QTest::newRow("9999999.9 exactly") << pulse << "9999999.9"
                                       << "3200" << bytes("434D447A 01 05F5E0FF 0140");
    QTest::newRow("bare point") << pulse << "."
                                << "3200" << bytes("434D447A 01 00000000 0140");
    QTest::newRow("constant 3205") << pulse << "0000000.0"
                                   << "3205" << bytes("434D447A 01 00000000 0140");
    QTest::newRow("constant 5") << pulse << "0000000.0"
                                << "5" << bytes("434D447A 01 00000000 0000");
    QTest::newRow("constant 99999") << pulse << "0000000.0"
                                    << "99999" << bytes("434D447A 01 00000000 270F");
    QTest::newRow("constant empty") << pulse << "0000000.0"
                                    << "" << bytes("434D447A 01 00000000 0000");
    QTest::newRow("RS485 ignores fields") << rs485 << "0001234.5"
                                          << "3200" << bytes("434D447A 02 00000000 0000");
}

void tst_commands::meterBytes() {
    QFETCH(int, type);
    QFETCH(QString, reading);
    QFETCH(QString, coefficient);
    QFETCH(QByteArray, expected);
    QCOMPARE(meter(MeterType(type), reading, coefficient).toHex(' '), expected.toHex(' '));
}

void tst_commands::readingFromPartlyEmptiedMask_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<quint32>("tenths");

    // A masked field drops its blank positions from the text, so only the digits present remain.
    QTest::newRow("empty") << "" << 0u;
    QTest::newRow("tenth blank") << "1234567." << 12345670u;
    QTest::newRow("whole part blank") << ".5" << 5u;
    QTest::newRow("gap in whole part") << "124567.8" << 1245678u;
    QTest::newRow("single digit") << "3." << 30u;
    QTest::newRow("no point") << "42" << 420u;
    QTest::newRow("extra decimals cut off") << "1.29" << 12u;
    QTest::newRow("two points") << "1.2.3" << 0u;
    QTest::newRow("letter") << "12a4.5" << 0u;
    QTest::newRow("blank inside") << "12 4.5" << 0u;
    QTest::newRow("sign") << "-1.5" << 0u;
    QTest::newRow("non-ASCII digit") << QString::fromUtf8("\u0661.5") << 0u;
}

void tst_commands::readingFromPartlyEmptiedMask() {
    QFETCH(QString, text);
    QFETCH(quint32, tenths);
    QCOMPARE(readingTenths(text), tenths);
}

QTEST_APPLESS_MAIN(tst_commands)
#include "tst_commands.moc"
