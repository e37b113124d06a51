#include "protocol/profile.h"
#include "support/everyfieldprofile.h"
#include "workfiles/profilefile.h"
#include "workfiles/systemreason.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>

// FIFOs and file access as another user are POSIX; the Windows build runs the rest of this test under Wine.
#ifndef Q_OS_WIN
#include "support/settingstestsupport.h"
#endif

using namespace Profiles;

namespace {

// The format as the manual describes it and a depot's script would write it: comments, blank lines,
// blanks around "=", Windows line ends, a byte-order mark, keys in any order and some left out. The last moment of
// a day, leap days and a constant in whole tens open as they stand.
const char *const handWritten = "\xEF\xBB\xBF; станция 14\r\nversion = 1\r\n\r\n"
                                "[station]\r\n# два БУ, второй на 4-20 мА\r\nunit2.control = 4-20\r\nunit1 = on\r\n"
                                "unit2 = on\r\nunit2.address=17\r\nchannel2.cm = 2, 4\r\nchannel1.date=29/02/2000\r\n"
                                "[meter]\r\ntype=rs485\r\ncoefficient=10\r\n"
                                "[time]\r\ntime=23:59:59\r\ndate=29/02/2028\r\n";

QByteArray profileText(const QByteArray &body) { return "version=1\n" + body; }

} // namespace

class tst_profile : public QObject {
    Q_OBJECT

private slots:
    void readsWhatADepotWrites() {
        const ReadResult read = readProfile(handWritten);
        QVERIFY2(read.isValid(), qPrintable(read.message()));
        Station expected;
        expected.units[0].checked = true;
        expected.units[1] = {true, QStringLiteral("17"), true};
        expected.channels[0].date = QStringLiteral("29/02/2000");
        expected.channels[1].cm = {false, true, false, true};
        QVERIFY(read.profile.station == expected);
        QVERIFY(read.profile.meter == (Meter{Commands::MeterType::Rs485, QStringLiteral("0000000.0"), "10"}));
        QCOMPARE(clockCommand(*read.profile.clock).bytes.toHex(' '), QByteArray("43 4d 44 79 17 3b 3b 1d 02 1c"));
        // An editor may leave the last line without its end.
        QVERIFY(readProfile(QByteArray(handWritten).chopped(2)).profile == read.profile);
    }

    void refusesBadProfile_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QString notDigits = QStringLiteral("«%1»: допустимы только цифры 0–9");
        const auto row = [](const char *name, const QByteArray &content, const QString &message) {
            QTest::newRow(name) << content << message;
        };
        // Text in another encoding: the file is saved again, not mended.
        const auto encoding = [&row](const char *name, const QByteArray &content, const QString &problem) {
            row(name, content, problem + "; профиль читается только в UTF-8, сохраните его в этой кодировке");
        };
        row("empty file", QByteArray(), "нет строки «version=1» перед первым разделом: это не профиль");
        encoding("binary", QByteArray("\x89PNG\r\n\x1a\n", 8), "строка 1: байт 0x89 — не текст UTF-8");
        // Bytes that are not text refuse the file where they stand: read past, they would drop the keys behind them,
        // which would then go out with their start values.
        row("NUL inside a value", QByteArray("version=1\n[time]\ntime=12:34:56\0x\ndate=05/06/2030\n", 49),
            "строка 3: нулевой байт (NUL): профиль — текстовый файл");
        row("control character in a comment", profileText("; \x01\n[time]\n"),
            "строка 2: управляющий символ U+0001: профиль — текстовый файл");
        row("C1 control character, the least two-byte one", profileText(";\xC2\x80"),
            "строка 2: управляющий символ U+0080: профиль — текстовый файл");
        encoding("Windows-1251 comment", profileText("; \xD1\xF2\xE0\xED\xF6\xE8\xFF\n[time]\n"),
                 "строка 2: байт 0xD1 — не текст UTF-8");
        encoding("character cut at the end", profileText("[time]\n;\xD0"), "строка 3: байт 0xD0 — не текст UTF-8");
        encoding("U+D800, half of a UTF-16 pair", profileText(";\xED\xA0\x80"), "строка 2: байт 0xED — не текст UTF-8");
        encoding("U+DFFF, half of a UTF-16 pair", profileText(";\xED\xBF\xBF"), "строка 2: байт 0xED — не текст UTF-8");
        encoding("past U+10FFFF", profileText(";\xF4\x90\x80\x80"), "строка 2: байт 0xF4 — не текст UTF-8");
        encoding("UTF-16 with its mark", QByteArray("\xFF\xFEv\0e\0r\0s\0i\0o\0n\0=\0001\0\n\0", 22),
                 "файл в кодировке UTF-16");
        encoding("UTF-16 big-endian with its mark", QByteArray("\xFE\xFF\0v\0e\0r\0s\0i\0o\0n", 16),
                 "файл в кодировке UTF-16");
        encoding("UTF-16 without a mark", QByteArray("\0v\0e\0r\0s\0i\0o\0n\0=\0001\0\n", 20),
                 "файл, по-видимому, в кодировке UTF-16");
        // Two characters are enough to tell UTF-16 by; three bytes are too few, and the zero among them is a NUL.
        encoding("UTF-16 of two characters", QByteArray("v\0e\0", 4), "файл, по-видимому, в кодировке UTF-16");
        row("three bytes", QByteArray("v\0e", 3), "строка 1: нулевой байт (NUL): профиль — текстовый файл");
        encoding("UTF-32", QByteArray("\xFF\xFE\0\0v\0\0\0", 8), "файл в кодировке UTF-32");
        const QString lineEnds = QStringLiteral("строки профиля оканчиваются на LF или CR LF");
        row("CR-only line ends", "version=1\r[time]\rtime=01:02:03\r",
            "строки разделены одним знаком CR, как в старых файлах Mac; " + lineEnds);
        row("CR inside a line", profileText("[time]\ntime=01:02:03\rdate=01/01/2020\n"),
            "строка 3: знак CR посреди строки: " + lineEnds);
        row("no version", "[time]\ntime=00:00:00\n",
            "строка 1: перед первым разделом должна стоять строка «version=1»");
        row("newer version", "version=2\n[time]\n",
            "строка 1: версия формата «2» не поддерживается; эта программа читает версию 1");
        row("no section", profileText("; nothing\n"), "нет ни одного раздела [station], [time] или [meter]");
        row("unknown section", profileText("[clock]\n"),
            "строка 2: неизвестный раздел [clock]; бывают [station], [time] и [meter]");
        row("section twice", profileText("[time]\n[meter]\n[time]\n"), "строка 4: раздел [time] уже был в строке 2");
        row("key twice", profileText("[time]\ntime=01:02:03\n\ntime=01:02:04\n"),
            "строка 5: ключ «time» уже задан в строке 3");
        row("no equals sign", profileText("[time]\ntime 01:02:03\n"),
            "строка 3: ожидается «ключ=значение», а стоит «time 01:02:03»");
        row("unit 9", profileText("[station]\nunit9=on\n"), "строка 3: неизвестный ключ «unit9» в разделе [station]");
        row("one-letter key", profileText("[time]\nt=1\n"), "строка 3: неизвестный ключ «t» в разделе [time]");
        // A key of any length is named by its first 64 characters.
        row("long key", profileText("[time]\n" + QByteArray(65, 'k') + "=1\n"),
            "строка 3: неизвестный ключ «" + QString(64, 'k') + "» в разделе [time]");
        row("key of another tab", profileText("[time]\ntype=pulse\n"),
            "строка 3: неизвестный ключ «type» в разделе [time]");
        // A value its key refuses, alone on line 3 under its section.
        const auto badValue = [](const char *name, const char *section, const QString &key, const QString &value,
                                 const QString &problem) {
            QTest::newRow(name) << profileText(QStringLiteral("[%1]\n%2=%3\n").arg(section, key, value).toUtf8())
                                << QStringLiteral("строка 3: %1 — %2").arg(key, problem);
        };
        badValue("two letters", "station", "channel1.code", "AB", "«AB»: нужна одна латинская буква A–Z или a–z");
        badValue("address beyond its byte", "station", "unit4.address", "300",
                 "300 больше 255 и не помещается в команду");
        badValue("address of four digits", "station", "unit4.address", "0042",
                 "«0042»: поле принимает только до 3 цифр");
        badValue("channel date without year", "station", "channel4.date", "01/01/", "год не указан, нужен 2000–2255");
        badValue("date in another order", "time", "date", "2017-01-01", notDigits.arg("2017-01-01"));
        badValue("year with a letter", "time", "date", "01/01/20x7", notDigits.arg("20x7"));
        // 255 still fits the command's byte, so it is the field's shape that refuses it.
        badValue("three-digit day", "time", "date", "255/01/2017", "«255/01/2017»: поле принимает только ДД/ММ/ГГГГ");
        badValue("three-digit hour", "time", "time", "255:00:00", "«255:00:00»: поле принимает только ЧЧ:ММ:СС");
        // Beyond a byte, a part is refused as the command's limit, as the window words it.
        badValue("day beyond its byte", "time", "date", "256/01/2017", "256 больше 255 и не помещается в команду");
        badValue("hour beyond its byte", "time", "time", "256:00:00", "256 больше 255 и не помещается в команду");
        badValue("time without seconds", "time", "time", "12:30", "«12:30»: поле принимает только ЧЧ:ММ:СС");
        badValue("six-digit serial", "station", "channel2.serial", "123456",
                 "«123456»: поле принимает только до 5 цифр");
        badValue("reading with a comma", "meter", "reading", "1234,5", notDigits.arg("1234,5"));
        badValue("reading with a letter after the point", "meter", "reading", "1234.x", notDigits.arg("x"));
        badValue("reading of nine digits", "meter", "reading", "400000000.0",
                 "«400000000.0»: поле принимает только ЦЦЦЦЦЦЦ.Ц");
        badValue("coefficient past two bytes of tens", "meter", "coefficient", "655360",
                 "655360 больше 655359 и не помещается в команду");
        // What the window would refuse to send: a moment no clock holds, a constant not in whole tens. The constant is
        // checked whatever the type, since the field keeps it for when the meter becomes a pulse meter.
        badValue("hour 24", "time", "time", "24:00:00", "час 24 не бывает, нужен 0–23");
        badValue("a day its month lacks", "time", "date", "31/02/2026",
                 "день 31 не бывает, в феврале 2026 года нужен 1–28");
        badValue("coefficient 3205", "meter", "coefficient", "3205", "3205 не кратно 10, дошло бы как 3200");
        badValue("unknown word", "meter", "type", "pulsed", "«pulsed»: допустимо none, pulse, rs485");
        badValue("unit mode", "station", "unit2.control", "analog", "«analog»: допустимо gsm, 4-20");
        badValue("CM 5", "station", "channel1.cm", "1,5", "«1,5»: номера СМ от 1 до 4 через запятую, например 1,3");
        badValue("CM twice", "station", "channel1.cm", "3, 3", "«3, 3»: СМ3 назван дважды");
        row("CM in two channels", profileText("[station]\nchannel1.cm=1,2\nchannel2.cm=3\nchannel4.cm=2,4\n"),
            "строка 5: channel4.cm — СМ2 уже отмечен в канале 1; один номер СМ принадлежит одному каналу");
        // Sound profiles, whose station command follows the tab's rules.
        const auto command = [&row](const char *name, const char *body, const char *hex) {
            row(name, profileText(body), QByteArray::fromHex(hex).toHex(' '));
        };
        // An editor that did not see the first mark may add a second one.
        row("two byte-order marks", "\xEF\xBB\xBF\xEF\xBB\xBFversion=1\n[station]\nunit1=on\n",
            QByteArray::fromHex("434D4477016F00000000").toHex(' '));
        command("a character of the first plane past U+FFFF and the last one, CR at the very end",
                "; \xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\n[station]\nunit1=on\r", "434D4477 01 6F 00000000");
        command("a unit behind an unchecked one stays out",
                "[station]\nunit1=on\nunit3=on\nunit3.control=4-20\nunit4=on\n", "434D4477 01 6F 00000000");
        command(
            "the lowest CM number is the address",
            "[station]\ntype=multi\nchannel1.cm=3,1\nchannel1.date=15/06/2016\nchannel1.code=B\nchannel1.serial=99999\n"
            "channel2.cm=4\n",
            "434D4478 01020F0610420001869F3000 040101011141000004D20000 000001011141000004D20000"
            " 000001011141000004D20000");
    }

    // A profile with a problem gives nothing, and the message names the line; a sound one gives the tab's command.
    void refusesBadProfile() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message); // for a sound profile, the station command's bytes
        const ReadResult read = readProfile(content);
        if (read.isValid() && read.profile.station) {
            const Commands::Encoded encoded = stationCommand(*read.profile.station);
            QCOMPARE(encoded.refusal, QString());
            QCOMPARE(QString(encoded.bytes.toHex(' ')), message);
            return;
        }
        QCOMPARE(read.message(), message);
        QVERIFY(read.profile == Profile());
    }

    // Every field goes to disk and comes back: a key the writer or the reader forgets comes back as the start value.
    void filesOnDisk() {
        QTemporaryDir dir;
        const QString path = dir.filePath("station.ini");
        QCOMPARE(writeProfileFile(path, everyFieldSet()), QString());
        QVERIFY(readProfileFile(path).profile == everyFieldSet());
        // A value that could not be opened again is not saved, and the old file stays.
        Profile bad = everyFieldSet();
        bad.clock->date = QStringLiteral("01/01/1999");
        QCOMPARE(writeProfileFile(path, bad), QStringLiteral("date — год 1999 вне диапазона 2000–2255"));
        QVERIFY(readProfileFile(path).profile == everyFieldSet());
        QCOMPARE(readProfileFile(dir.filePath("none.ini")).message(), QStringLiteral("файла нет"));
        QCOMPARE(readProfileFile(dir.path()).message(), QStringLiteral("это папка, а не файл"));
        // 64 KiB is still a profile; one byte more is not.
        QFile large(dir.filePath("large.ini"));
        const QByteArray fits = "version=1\n[time]\n;" + QByteArray(64 * 1024 - 19, 'x') + '\n';
        QVERIFY(large.open(QIODevice::WriteOnly) && large.write(fits) == 64 * 1024 && large.flush());
        QVERIFY(readProfileFile(large.fileName()).isValid());
        QVERIFY(large.resize(64 * 1024 + 1));
        QCOMPARE(readProfileFile(large.fileName()).message(), QStringLiteral("файл больше 64 КиБ: это не профиль"));
#ifndef Q_OS_WIN
        QVERIFY(::mkfifo(QFile::encodeName(dir.filePath("fifo")).constData(), 0644) == 0);
        QCOMPARE(readProfileFile(dir.filePath("fifo")).message(),
                 QStringLiteral("это не обычный файл, а канал (FIFO)"));
        // Seen in its folder, yet not to be opened: the system's reason, never an empty profile.
        const QString locked = dir.filePath("locked.ini");
        QVERIFY(writeFileBytes(locked, "version=1\n") && setMode(locked, 0200) && setMode(dir.path(), 0755));
        {
            const auto access = fileAccessAs(nobody);
            QCOMPARE(readProfileFile(locked).message(),
                     "нет прав доступа (" + QString::fromLocal8Bit(strerror(EACCES)) + ")");
        }
        QCOMPARE(writeProfileFile(dir.filePath("no/such/folder.ini"), everyFieldSet()),
                 SystemReason::withOriginal(QString::fromLocal8Bit(strerror(ENOENT))));
#else
        QCOMPARE(writeProfileFile(dir.filePath("no/such/folder.ini"), everyFieldSet()),
                 QStringLiteral("папка не найдена"));
#endif
    }
};

QTEST_APPLESS_MAIN(tst_profile)
#include "tst_profile.moc"
