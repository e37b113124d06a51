#include "tools/zevr-sim/simoptions.h"

#include <QCommandLineParser>

namespace {

const QStringList singleModes = {"silent", "echo", "stream", "hangup", "delay", "split"};

void addOptions(QCommandLineParser &parser) {
    parser.setApplicationDescription(
        "Simulated ZEVR-3G controller. Prints the pseudo-terminal to use as the serial port on its first line, "
        "answers each probe and prints every command it receives as one decoded line.");
    parser.addHelpOption();
    parser.addOptions({
        {"port", "Use the serial port <name> instead of a new pseudo-terminal.", "name"},
        {"baud", "Baud rate of --port (8 data bits, no parity, 1 stop bit).", "rate", "115200"},
        {"link", "Keep a symbolic link at <path> pointing to the pseudo-terminal.", "path"},
        {"answer", "Answer to the probe.", "text", "ZEVR-3G OK"},
        {"json", "Print one JSON object per line instead of text."},
        {"gap", "Quiet time that ends an incoming burst; what is incomplete then is reported.", "ms", "50"},
        {"silent", "Never answer."},
        {"delay", "Answer after <ms> milliseconds (default 300 inside --cycle).", "ms"},
        {"split", "Send the answer in two parts, cut inside the token, <ms> apart (default 50 inside --cycle).", "ms"},
        {"echo", "Send back everything received, like a loopback plug."},
        {"stream", "Answer, then keep sending filler bytes for 1500 ms (stream:MS inside --cycle)."},
        {"hangup", "Drop the line right after answering."},
        {"cycle",
         "One mode per successive probe, repeated: ok, silent, delay[:ms], split[:ms], echo, stream[:ms], "
         "hangup; e.g. ok,silent,hangup,split,delay:700.",
         "list"},
    });
}

bool readNumber(const QCommandLineParser &parser, const QString &name, int low, int high, int *value, QString *error) {
    bool ok = false;
    const int number = parser.value(name).toInt(&ok);
    if (!ok || number < low || number > high) {
        *error = QStringLiteral("--%1 needs a whole number from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    *value = number;
    return true;
}

bool readDurations(const QCommandLineParser &parser, FaultDurations *durations, QString *error) {
    if (parser.isSet("delay") && !readNumber(parser, "delay", 0, 600000, &durations->delay, error))
        return false;
    return !parser.isSet("split") || readNumber(parser, "split", 0, 600000, &durations->split, error);
}

// Without --cycle one mode flag at most; with it, --delay and --split only give the default durations.
bool readPlan(const QCommandLineParser &parser, FaultPlan *plan, QString *error) {
    FaultDurations durations;
    if (!readDurations(parser, &durations, error))
        return false;
    QStringList chosen;
    for (const QString &mode : singleModes) {
        if (parser.isSet(mode))
            chosen << mode;
    }
    if (parser.isSet("cycle")) {
        chosen.removeAll("delay");
        chosen.removeAll("split");
        if (!chosen.isEmpty()) {
            *error = QStringLiteral("--%1 cannot be combined with --cycle; put it into the cycle").arg(chosen.first());
            return false;
        }
        return FaultPlan::parse(parser.value("cycle"), durations, plan, error);
    }
    if (chosen.size() > 1) {
        *error = QStringLiteral("choose one of --%1; mix modes with --cycle").arg(chosen.join(", --"));
        return false;
    }
    return FaultPlan::parse(chosen.value(0, "ok"), durations, plan, error);
}

bool readLine(const QCommandLineParser &parser, SimOptions *options, QString *error) {
    options->port = parser.value("port");
    options->link = parser.value("link");
    options->json = parser.isSet("json");
    if (!options->port.isEmpty() && !options->link.isEmpty()) {
        *error = QStringLiteral("--link is for the pseudo-terminal; it cannot be used with --port");
        return false;
    }
    return readNumber(parser, "baud", 1, 4000000, &options->baud, error);
}

} // namespace

bool SimOptions::parse(const QStringList &arguments, SimOptions *options, QString *error) {
    QCommandLineParser parser;
    addOptions(parser);
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return false;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return false;
    }
    options->help = parser.isSet("help");
    options->device.answer = parser.value("answer").toLocal8Bit();
    return readNumber(parser, "gap", 1, 60000, &options->device.gapMs, error) && readLine(parser, options, error) &&
           readPlan(parser, &options->device.plan, error);
}

QString SimOptions::helpText() {
    QCommandLineParser parser;
    addOptions(parser);
    return parser.helpText();
}
