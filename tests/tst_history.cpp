#include "protocol/commanddescription.h"

#include <QtTest>

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

const char *const formRecord = "000001011141000004D20000";

} // namespace

// What the transmission history says about a command, decoded from the bytes of the controller's command
// descriptions, not from the encoder that shares the module.
class tst_history : public QObject {
    Q_OBJECT

private slots:
    void describesCommands_data();
    void describesCommands();
};

void tst_history::describesCommands_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("words");
    const QString form = QStringLiteral("СМ нет, 01/01/2017, код A, № 1234");

    QTest::newRow("w, no unit") << bytes("434D4477 00 00000000") << "w одноканальная, без БУ";
    QTest::newRow("w, unit 1") << bytes("434D4477 01 6F 00000000") << "w одноканальная: БУ1 111 GSM/RS-485";
    QTest::newRow("w, unit 2 analog") << bytes("434D4477 03 6F7071 00000002")
                                      << "w одноканальная: БУ1 111 GSM/RS-485, БУ2 112 4-20 мА, БУ3 113 GSM/RS-485";
    QTest::newRow("w, eight analog")
        << bytes("434D4477 08 6F70717273747576 000000FF")
        << "w одноканальная: БУ1 111 4-20 мА, БУ2 112 4-20 мА, БУ3 113 4-20 мА, БУ4 114 4-20 мА, БУ5 115 4-20 мА, "
           "БУ6 116 4-20 мА, БУ7 117 4-20 мА, БУ8 118 4-20 мА";
    QTest::newRow("x, form") << bytes("434D4478") + bytes(formRecord) + bytes(formRecord) + bytes(formRecord) +
                                    bytes(formRecord)
                             << QStringLiteral("x многоканальная: к1 %1; к2 %1; к3 %1; к4 %1").arg(form);
    // The second record carries the serial number's low 16 bits alone, and the history says what the bytes say.
    QTest::newRow("x, two channels") << bytes("434D4478 01020F0610420001869F3000 02020F061042000086 9F4000") +
                                            bytes(formRecord) + bytes(formRecord)
                                     << QStringLiteral("x многоканальная: к1 СМ 1,3, 15/06/2016, код B, № 99999; "
                                                       "к2 СМ 2,4, 15/06/2016, код B, № 34463; к3 %1; к4 %1")
                                            .arg(form);
    QTest::newRow("y, form") << bytes("434D4479 000000 010111") << "y 00:00:00 01/01/2017";
    QTest::newRow("y") << bytes("434D4479 173B3B 1F0C63") << "y 23:59:59 31/12/2099";
    QTest::newRow("y, as typed") << bytes("434D4479 636363 6363FF") << "y 99:99:99 99/99/2255";
    QTest::newRow("z, none") << bytes("434D447A 00 00000000 0000") << "z счетчик не подключен";
    QTest::newRow("z, pulse, form") << bytes("434D447A 01 00000000 0140")
                                    << "z импульсный счетчик, 0.0 кВт*ч, 3200 имп./кВт*ч";
    QTest::newRow("z, 1234567.7") << bytes("434D447A 01 00BC614D 0140")
                                  << "z импульсный счетчик, 1234567.7 кВт*ч, 3200 имп./кВт*ч";
    QTest::newRow("z, 9999") << bytes("434D447A 01 05F5E100 270F")
                             << "z импульсный счетчик, 10000000.0 кВт*ч, 99990 имп./кВт*ч";
    QTest::newRow("z, RS485") << bytes("434D447A 02 00000000 0000") << "z счетчик с выходом RS485";
    QTest::newRow("probe") << QByteArray("ZEVR-3G-Config") << "не команда контроллера, 14 байт";
    QTest::newRow("y cut short") << bytes("434D4479 173B3B 1F0C") << "не команда контроллера, 9 байт";
}

void tst_history::describesCommands() {
    QFETCH(QByteArray, command);
    QFETCH(QString, words);
    QCOMPARE(describeCommand(command), words);
}

QTEST_APPLESS_MAIN(tst_history)
#include "tst_history.moc"
