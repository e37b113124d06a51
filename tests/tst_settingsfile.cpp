#include "app/settingsfile.h"
#include "support/settingstestsupport.h"

#include <QTextCodec>
#include <QtTest>

namespace {

const QByteArray defaultBytes = "COM Log\r\n1\r\nCOM Port\r\n\r\nBaudRate\r\n115200\r\nParity\r\nnone\r\n"
                                "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\ntrue\r\n";

} // namespace

Q_DECLARE_METATYPE(SettingsMap)

class tst_settingsfile : public QObject {
    Q_OBJECT

private slots:
    void defaultFile();
    void defaultFileKeepsUsualPermissions();
    void conversions_data();
    void conversions();
    void parsing_data();
    void parsing();
    void connectionValues_data();
    void connectionValues();
    void rewriteOrder();
    void rewriteKeepsUnknownPairsAndOneEntryPerKey();
    void localEightBitEncoding();
    void fileIsClosedAfterEachUse();
    void missingFile();
};

void tst_settingsfile::defaultFile() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(!settings_file.exists());
    create_default_settings();
    QCOMPARE(readFileBytes(QStringLiteral("settings.ini")), defaultBytes);
    QCOMPARE(defaultBytes.count("\r\n"), 14);
    QCOMPARE(defaultBytes.count('\n'), 14);

    com_log = 0;
    load_com_log();
    QCOMPARE(int(com_log), 1);
    const ConnectionValues values = connectionValuesFromMap(read_settings_map());
    QCOMPARE(values.com_port, QString());
    QCOMPARE(values.baud, 115200);
    QCOMPARE(int(values.lenght), 8);
    QCOMPARE(int(values.parity), 0);
    QCOMPARE(int(values.stopbit), 1);
    QCOMPARE(values.com_auto, true);
    QVERIFY(QDir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) ==
            QStringList{QStringLiteral("settings.ini")});
}

// The file is replaced through a temporary file; it must still get the modes an ordinary new file gets.
void tst_settingsfile::defaultFileKeepsUsualPermissions() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    create_default_settings();
    QVERIFY(writeFileBytes(QStringLiteral("plain"), "x"));
    QCOMPARE(QFileInfo(QStringLiteral("settings.ini")).permissions(), QFileInfo(QStringLiteral("plain")).permissions());
}

void tst_settingsfile::conversions_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("parity none") << "parity"
                                 << "none" << 0;
    QTest::newRow("parity even") << "parity"
                                 << "even" << 2;
    QTest::newRow("parity odd") << "parity"
                                << "odd" << 3;
    QTest::newRow("parity Even is odd") << "parity"
                                        << "Even" << 3;
    QTest::newRow("parity none with space") << "parity"
                                            << "none " << 3;
    QTest::newRow("parity empty") << "parity"
                                  << "" << 3;
    QTest::newRow("data bits 8") << "lenght"
                                 << "8 bit" << 8;
    QTest::newRow("data bits 7") << "lenght"
                                 << "7 bit" << 7;
    QTest::newRow("data bits 8 without unit") << "lenght"
                                              << "8" << 7;
    QTest::newRow("data bits empty") << "lenght"
                                     << "" << 7;
    QTest::newRow("stop bits 1") << "stopbit"
                                 << "1 bit" << 1;
    QTest::newRow("stop bits 2") << "stopbit"
                                 << "2 bit" << 2;
    QTest::newRow("stop bits 1 Bit") << "stopbit"
                                     << "1 Bit" << 2;
    QTest::newRow("stop bits empty") << "stopbit"
                                     << "" << 2;
    QTest::newRow("baud 115200") << "baud"
                                 << "115200" << 115200;
    QTest::newRow("baud 2400") << "baud"
                               << "2400" << 2400;
    QTest::newRow("baud letters") << "baud"
                                  << "fast" << 0;
    QTest::newRow("baud trailing letters") << "baud"
                                           << "9600x" << 0;
    QTest::newRow("baud hex is not decimal") << "baud"
                                             << "0x2580" << 0;
    QTest::newRow("baud leading zero is decimal") << "baud"
                                                  << "09600" << 9600;
    QTest::newRow("baud beyond int") << "baud"
                                     << "99999999999" << 0;
    QTest::newRow("baud empty") << "baud"
                                << "" << 0;
    QTest::newRow("com log 1") << "comlog"
                               << "1" << 1;
    QTest::newRow("com log 0") << "comlog"
                               << "0" << 0;
    QTest::newRow("com log 257 keeps low byte") << "comlog"
                                                << "257" << 1;
    QTest::newRow("com log 256 keeps low byte") << "comlog"
                                                << "256" << 0;
    QTest::newRow("com log -255 keeps low byte") << "comlog"
                                                 << "-255" << 1;
    QTest::newRow("com log not a number") << "comlog"
                                          << "yes" << 0;
    QTest::newRow("com log empty") << "comlog"
                                   << "" << 0;
}

void tst_settingsfile::conversions() {
    QFETCH(QString, kind);
    QFETCH(QString, text);
    QFETCH(int, expected);
    int actual = -1;
    if (kind == QLatin1String("parity"))
        actual = parityFromText(text);
    else if (kind == QLatin1String("lenght"))
        actual = dataBitsFromText(text);
    else if (kind == QLatin1String("stopbit"))
        actual = stopBitsFromText(text);
    else if (kind == QLatin1String("baud"))
        actual = baudFromText(text);
    else
        actual = comLogFromText(text);
    QCOMPARE(actual, expected);
}

void tst_settingsfile::parsing_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<SettingsMap>("expected");

    const SettingsMap pair{{"COM Log", "1"}, {"Parity", "even"}};
    QTest::newRow("empty file") << QByteArray() << SettingsMap();
    QTest::newRow("crlf") << QByteArray("COM Log\r\n1\r\nParity\r\neven\r\n") << pair;
    QTest::newRow("lf only") << QByteArray("COM Log\n1\nParity\neven\n") << pair;
    QTest::newRow("mixed line ends") << QByteArray("COM Log\n1\r\nParity\r\neven\n") << pair;
    QTest::newRow("no final line end") << QByteArray("COM Log\r\n1\r\nParity\r\neven") << pair;
    QTest::newRow("key without value line")
        << QByteArray("COM Log\r\n1\r\nParity") << SettingsMap{{"COM Log", "1"}, {"Parity", ""}};
    QTest::newRow("key line then end") << QByteArray("COM Log\r\n1\r\nParity\r\n")
                                       << SettingsMap{{"COM Log", "1"}, {"Parity", ""}};
    QTest::newRow("blank line shifts the pairs") << QByteArray("COM Log\r\n\r\n1\r\nParity\r\neven\r\n")
                                                 << SettingsMap{{"COM Log", ""}, {"1", "Parity"}, {"even", ""}};
    QTest::newRow("last duplicate wins") << QByteArray("Parity\r\neven\r\nParity\r\nnone\r\n")
                                         << SettingsMap{{"Parity", "none"}};
    QTest::newRow("unknown pair kept") << QByteArray("Colour\r\nblue\r\nCOM Log\r\n1\r\nParity\r\neven\r\n")
                                       << SettingsMap{{"COM Log", "1"}, {"Colour", "blue"}, {"Parity", "even"}};
    QTest::newRow("no trimming") << QByteArray("COM Port \r\nCOM3\r\n Parity\r\n even \r\n")
                                 << SettingsMap{{"COM Port ", "COM3"}, {" Parity", " even "}};
    QTest::newRow("cr inside a line stays")
        << QByteArray("COM\rPort\r\nCOM3\r\n") << SettingsMap{{"COM\rPort", "COM3"}};
    QTest::newRow("cr only line ends make one line")
        << QByteArray("COM Log\r1\rParity\reven\r") << SettingsMap{{"COM Log\r1\rParity\reven", ""}};
    QTest::newRow("only blank lines") << QByteArray("\r\n\r\n\r\n") << SettingsMap{{"", ""}};
}

void tst_settingsfile::parsing() {
    QFETCH(QByteArray, content);
    QFETCH(SettingsMap, expected);
    QCOMPARE(parseSettings(content), expected);
    // The same bytes read from the file give the same map.
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), content));
    QCOMPARE(read_settings_map(), expected);
}

void tst_settingsfile::connectionValues_data() {
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("lenght");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopbit");
    QTest::addColumn<bool>("comAuto");
    QTest::addColumn<int>("comLog");

    QTest::newRow("default file") << defaultBytes << "" << 115200 << 8 << 0 << 1 << true << 1;
    QTest::newRow("every key set") << QByteArray("COM Port\r\nCOM7\r\nBaudRate\r\n9600\r\nLenght\r\n7 bit\r\n"
                                                 "Parity\r\neven\r\nStop Bit\r\n2 bit\r\nCOM Auto\r\nfalse\r\n"
                                                 "COM Log\r\n0\r\n")
                                   << "COM7" << 9600 << 7 << 2 << 2 << false << 0;
    QTest::newRow("missing keys take the other branch") << QByteArray() << "" << 0 << 7 << 3 << 2 << false << 0;
    QTest::newRow("Even with a capital E is odd")
        << QByteArray("Parity\r\nEven\r\n") << "" << 0 << 7 << 3 << 2 << false << 0;
    QTest::newRow("COM Port key with a trailing space is not found")
        << QByteArray("COM Port \r\nCOM3\r\nCOM Auto\r\ntrue\r\n") << "" << 0 << 7 << 3 << 2 << true << 0;
    QTest::newRow("COM Auto True is manual")
        << QByteArray("COM Auto\r\nTrue\r\n") << "" << 0 << 7 << 3 << 2 << false << 0;
    QTest::newRow("COM Log 257 is 1") << QByteArray("COM Log\r\n257\r\n") << "" << 0 << 7 << 3 << 2 << false << 1;
    QTest::newRow("COM Log not a number is 0")
        << QByteArray("COM Log\r\non\r\n") << "" << 0 << 7 << 3 << 2 << false << 0;
    QTest::newRow("repeated key, last wins")
        << QByteArray("BaudRate\r\n2400\r\nCOM Log\r\n1\r\nBaudRate\r\n38400\r\nCOM Log\r\n0\r\n") << "" << 38400 << 7
        << 3 << 2 << false << 0;
    QTest::newRow("blank line shifts the pairs")
        << QByteArray("COM Log\r\n1\r\n\r\nBaudRate\r\n9600\r\nParity\r\nnone\r\n") << "" << 0 << 7 << 3 << 2 << false
        << 1;
}

void tst_settingsfile::connectionValues() {
    QFETCH(QByteArray, content);
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), content));

    const ConnectionValues values = connectionValuesFromMap(read_settings_map());
    QTEST(values.com_port, "port");
    QTEST(int(values.baud), "baud");
    QTEST(int(values.lenght), "lenght");
    QTEST(int(values.parity), "parity");
    QTEST(int(values.stopbit), "stopbit");
    QTEST(values.com_auto, "comAuto");
    com_log = 0;
    load_com_log();
    QTEST(int(com_log), "comLog");
}

void tst_settingsfile::rewriteOrder() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    create_default_settings();
    SettingsMap map = read_settings_map();
    map.insert(QStringLiteral("COM Port"), QStringLiteral("COM3"));
    map.insert(QStringLiteral("BaudRate"), QStringLiteral("9600"));
    map.insert(QStringLiteral("Lenght"), QStringLiteral("7 bit"));
    map.insert(QStringLiteral("Stop Bit"), QStringLiteral("2 bit"));
    map.insert(QStringLiteral("Parity"), QStringLiteral("odd"));
    map.insert(QStringLiteral("COM Auto"), QStringLiteral("false"));
    QVERIFY(write_settings_map(map));
    QCOMPARE(readFileBytes(QStringLiteral("settings.ini")),
             QByteArray("BaudRate\r\n9600\r\nCOM Auto\r\nfalse\r\nCOM Log\r\n1\r\nCOM Port\r\nCOM3\r\n"
                        "Lenght\r\n7 bit\r\nParity\r\nodd\r\nStop Bit\r\n2 bit\r\n"));
    QCOMPARE(read_settings_map(), map);
}

void tst_settingsfile::rewriteKeepsUnknownPairsAndOneEntryPerKey() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), "zeta\nlast\nCOM Log\n1\nParity\neven\nAlpha\nfirst\n"
                                                           "Parity\nnone\nbaudrate\nlower\n"));
    QVERIFY(write_settings_map(read_settings_map()));
    // Ordinary QString order: upper-case letters sort before lower-case ones.
    QCOMPARE(readFileBytes(QStringLiteral("settings.ini")),
             QByteArray("Alpha\r\nfirst\r\nCOM Log\r\n1\r\nParity\r\nnone\r\nbaudrate\r\nlower\r\nzeta\r\nlast\r\n"));
}

void tst_settingsfile::localEightBitEncoding() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    const QString port = QStringLiteral("Порт№1");
    QVERIFY(write_settings_map({{QStringLiteral("COM Port"), port}}));
    const QByteArray expected = QByteArray("COM Port\r\n") + port.toLocal8Bit() + "\r\n";
    QCOMPARE(readFileBytes(QStringLiteral("settings.ini")), expected);
    if (QTextCodec::codecForLocale()->canEncode(port))
        QCOMPARE(read_settings_map().value(QStringLiteral("COM Port")), port);
    else
        QCOMPARE(read_settings_map().value(QStringLiteral("COM Port")), QString::fromLocal8Bit(port.toLocal8Bit()));
}

void tst_settingsfile::fileIsClosedAfterEachUse() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    create_default_settings();
    QVERIFY(!settings_file.isOpen());
    read_settings_map();
    QVERIFY(!settings_file.isOpen());
    load_com_log();
    QVERIFY(!settings_file.isOpen());
    QVERIFY(write_settings_map({{QStringLiteral("COM Log"), QStringLiteral("1")}}));
    QVERIFY(!settings_file.isOpen());
    // Nothing holds the file: it can be replaced from outside and the next read sees the new content.
    QVERIFY(QFile::remove(QStringLiteral("settings.ini")));
    QVERIFY(writeFileBytes(QStringLiteral("settings.ini"), "COM Log\r\n0\r\n"));
    QCOMPARE(read_settings_map().value(QStringLiteral("COM Log")), QStringLiteral("0"));
}

void tst_settingsfile::missingFile() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(read_settings_map().isEmpty());
    com_log = 0;
    load_com_log();
    QCOMPARE(int(com_log), 0);
    QVERIFY(!QFile::exists(QStringLiteral("settings.ini")));
    // A rewrite after the file vanished writes what it is given, nothing more.
    QVERIFY(write_settings_map({{QStringLiteral("Parity"), QStringLiteral("odd")}}));
    QCOMPARE(readFileBytes(QStringLiteral("settings.ini")), QByteArray("Parity\r\nodd\r\n"));
}

QTEST_GUILESS_MAIN(tst_settingsfile)
#include "tst_settingsfile.moc"
