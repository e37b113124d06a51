#include "sender/sendoptions.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const char *const valueOptions[] = {"profile", "tab", "port", "settings", "record", "units", "gone", "poll"};

void addOptions(QCommandLineParser &parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addOptions({
        {"profile", QString(), "file"},
        {"tab", QString(), "tab"},
        {"port", QString(), "name"},
        {"auto", QString()},
        {"settings", QString(), "file"},
        {"now", QString()},
        {"json", QString()},
        {"wait", QString()},
        {"record", QString(), "file"},
        {"units", QString(), "n"},
        {"gone", QString(), "ms"},
        {"poll", QString(), "ms"},
        {{"h", "help"}, QString()},
        {"version", QString()},
    });
}

int tabsFromText(const QString &text) {
    if (text == QLatin1String("station"))
        return SendOptions::Station;
    if (text == QLatin1String("time"))
        return SendOptions::Clock;
    if (text == QLatin1String("meter"))
        return SendOptions::Meter;
    return text == QLatin1String("all") ? int(SendOptions::AllTabs) : 0;
}

bool readNumber(const QCommandLineParser &parser, const QString &name, int low, int high, int *value, QString *error) {
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const int number = parser.value(name).toInt(&ok);
    if (!ok || number < low || number > high) {
        *error = QStringLiteral("--%1: нужно целое число от %2 до %3").arg(name).arg(low).arg(high);
        return false;
    }
    *value = number;
    return true;
}

// QCommandLineParser's own texts are English; the two it gives for a command line are said here in Russian.
QString parserError(const QCommandLineParser &parser) {
    if (!parser.unknownOptionNames().isEmpty())
        return QStringLiteral("неизвестный параметр «--%1»").arg(parser.unknownOptionNames().first());
    const QRegularExpressionMatch missing =
        QRegularExpression(QStringLiteral("^Missing value after '(.*)'")).match(parser.errorText());
    if (missing.hasMatch())
        return QStringLiteral("%1: не указано значение").arg(missing.captured(1));
    const QRegularExpressionMatch unexpected =
        QRegularExpression(QStringLiteral("^Unexpected value after '(.*)'")).match(parser.errorText());
    if (unexpected.hasMatch())
        return QStringLiteral("%1: у этого параметра нет значения").arg(unexpected.captured(1));
    return parser.errorText();
}

// A value that is itself an option means the value was left out: "--record --json" must not record into a file
// named "--json" and drop the JSON output. A file whose name starts with "-" is named "./-name".
bool checkValues(const QCommandLineParser &parser, QString *error) {
    for (const char *name : valueOptions) {
        if (!parser.isSet(name))
            continue;
        const QString value = parser.value(name);
        if (value.size() > 1 && value.at(0) == QLatin1Char('-') &&
            (value.at(1).isLetter() || value.at(1) == QLatin1Char('-'))) {
            *error = QStringLiteral("--%1: не указано значение (следом стоит параметр «%2»)").arg(name, value);
            return false;
        }
        if (value.isEmpty()) {
            *error = QStringLiteral("--%1: значение пустое").arg(name);
            return false;
        }
    }
    return true;
}

bool readDepotOptions(const QCommandLineParser &parser, SendOptions *options, QString *error) {
    options->wait = parser.isSet("wait");
    options->record = parser.value("record");
    for (const char *name : {"units", "gone", "poll"}) {
        if (parser.isSet(name) && !options->wait) {
            *error = QStringLiteral("--%1 действует только вместе с --wait").arg(name);
            return false;
        }
    }
    return readNumber(parser, "units", 1, 1000000, &options->units, error) &&
           readNumber(parser, "gone", 0, 600000, &options->goneMs, error) &&
           readNumber(parser, "poll", 10, 60000, &options->pollMs, error);
}

} // namespace

bool SendOptions::parse(const QStringList &arguments, SendOptions *options, QString *error) {
    QCommandLineParser parser;
    addOptions(parser);
    options->json = arguments.contains(QStringLiteral("--json")) || arguments.contains(QStringLiteral("-json"));
    if (!parser.parse(arguments)) {
        *error = parserError(parser);
        return false;
    }
    options->help = parser.isSet("help");
    options->version = parser.isSet("version");
    if (options->help || options->version)
        return true;
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("лишний аргумент «%1»").arg(parser.positionalArguments().first());
        return false;
    }
    if (!checkValues(parser, error))
        return false;
    options->profile = parser.value("profile");
    options->tabs = tabsFromText(parser.value("tab"));
    options->port = parser.value("port");
    options->autoSearch = parser.isSet("auto");
    options->settings = parser.value("settings");
    options->now = parser.isSet("now");
    options->json = parser.isSet("json");
    if (options->profile.isEmpty() || !parser.isSet("tab")) {
        *error = QStringLiteral("нужны --profile и --tab");
        return false;
    }
    if (options->tabs == 0) {
        *error = QStringLiteral("--tab: station, time, meter или all, а не «%1»").arg(parser.value("tab"));
        return false;
    }
    if (parser.isSet("port") && options->autoSearch) {
        *error = QStringLiteral("--port и --auto исключают друг друга");
        return false;
    }
    return readDepotOptions(parser, options, error);
}

QString SendOptions::helpText() {
    return QStringLiteral(
        "Использование: zevr3g-send --profile ФАЙЛ --tab station|time|meter|all [--port ИМЯ | --auto]\n"
        "                           [--now] [--json] [--settings ФАЙЛ] [--wait [--units N] [--gone МС]]\n"
        "                           [--record ФАЙЛ]\n"
        "\n"
        "Отправляет контроллеру ЗЕВР-3G команды вкладок из профиля, сохранённого программой ZEVR-3G-Config\n"
        "(«Файл» → «Сохранить профиль…»), без окна и без дисплея. Перед каждой командой, как и программа,\n"
        "открывает порт, посылает запрос «ZEVR-3G-Config» и ждёт ответа «ZEVR-3G».\n"
        "\n"
        "  --profile ФАЙЛ   профиль; значения проверяются так же, как при отправке из окна\n"
        "  --tab ВКЛАДКА    station (СКЗ), time (Время), meter (Эл. счетчик) или all — все три по порядку\n"
        "  --port ИМЯ       порт, например /dev/ttyUSB0 или ttyUSB0\n"
        "  --auto           перебрать все порты системы\n"
        "                   Без --port и --auto порт и параметры линии берутся из settings.ini в рабочей\n"
        "                   папке, как в программе; без этого файла — автопоиск, 115200 бод, 8N1.\n"
        "  --settings ФАЙЛ  другой файл настроек вместо settings.ini\n"
        "  --now            вместо времени из профиля отправить часы компьютера на момент отправки\n"
        "  --json           вместо строк состояния — по одному объекту JSON на строку\n"
        "  --wait           для конвейера: ждать, пока контроллер ответит, отправить, затем ждать, пока линия\n"
        "                   замолчит и ответит новый контроллер; и так до Ctrl+C\n"
        "  --units N        с --wait: остановиться после N контроллеров\n"
        "  --gone МС        с --wait: сколько миллисекунд линия должна молчать, чтобы следующий ответ считался\n"
        "                   новым контроллером (по умолчанию 3000)\n"
        "  --poll МС        с --wait: пауза между опросами пустой линии (по умолчанию 300)\n"
        "  --record ФАЙЛ    дописывать в ФАЙЛ по строке JSON на контроллер: время, порт, профиль, команды,\n"
        "                   байты и результат. Только обычный файл: ссылка, канал (FIFO) или устройство\n"
        "                   не принимаются. Если строку записать не удалось, работа останавливается (код 6)\n"
        "  --help           эта справка\n"
        "  --version        версия\n"
        "\n"
        "На стандартный вывод идут те же сообщения, что в строке состояния программы, по одному на строку;\n"
        "причины неудачных попыток и итог — на стандартный поток ошибок. Программа не создаёт папку журнала\n"
        "и не пишет файлов, кроме указанного в --record.\n"
        "\n"
        "Код завершения:\n"
        "  0  все команды отправлены\n"
        "  1  ошибка отправки: контроллер ответил, но команда не ушла целиком\n"
        "  2  ошибка в командной строке или в файле настроек\n"
        "  3  профиль не открыт или его значение не проходит проверку\n"
        "  4  устройство не найдено: порт не открылся, контроллер не ответил или портов нет\n"
        "  5  прервано сигналом до того, как все команды ушли (с --wait — и до того, как обслужен\n"
        "     первый контроллер)\n"
        "  6  строка о контроллере не записана в файл --record (диск полон, файл недоступен); этот код\n"
        "     важнее остальных: контроллер, возможно, настроен, но следа в файле нет\n"
        "С --wait код — код последнего контроллера, которому ушло не всё, или 0, если все получили всё.\n"
        "Порт, заданный одним именем, занят программой от начала до конца работы; другая программа\n"
        "узнает из файла блокировки порта, кто его держит.\n"
        "\n"
        "Пример для конвейера:\n"
        "  zevr3g-send --profile station.ini --tab all --port /dev/ttyUSB0 --wait --record units.jsonl\n");
}
