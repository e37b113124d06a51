// zevr-sim: a simulated ZEVR-3G controller on a pseudo-terminal or a serial port.

#include "tools/zevr-sim/ptyline.h"
#include "tools/zevr-sim/serialline.h"
#include "tools/zevr-sim/simdevice.h"
#include "tools/zevr-sim/simoptions.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

int quitPipe[2] = {-1, -1};

void printLine(const QString &line) {
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void onQuitSignal(int) {
    const char byte = 0;
    (void)!::write(quitPipe[1], &byte, 1);
}

// A terminating signal ends the event loop, so that the link is removed and the line closed in order.
void quitOnSignals(QCoreApplication &app) {
    if (pipe2(quitPipe, O_CLOEXEC) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        signal(signalNumber, onQuitSignal);
    // Started beside the program, the simulator must not outlive whoever started it.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

// Replaced in one step, so that whoever opens the link never finds it missing.
void pointLink(const QString &link, const QString &target) {
    const QString temporary = link + QStringLiteral(".new");
    QFile::remove(temporary);
    if (!QFile::link(target, temporary) || ::rename(QFile::encodeName(temporary), QFile::encodeName(link)) != 0)
        std::fprintf(stderr, "zevr-sim: cannot point %s at %s\n", qPrintable(link), qPrintable(target));
}

std::unique_ptr<SimLine> openLine(const SimOptions &options, QString *error) {
    if (!options.port.isEmpty()) {
        auto line = std::make_unique<SerialLine>(options.port, options.baud);
        return line->open(error) ? std::move(line) : nullptr;
    }
    auto line = std::make_unique<PtyLine>();
    return line->open(error) ? std::move(line) : nullptr;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    SimOptions options;
    QString error;
    if (!SimOptions::parse(app.arguments(), &options, &error)) {
        std::fprintf(stderr, "zevr-sim: %s\nTry 'zevr-sim --help'.\n", qPrintable(error));
        return 2;
    }
    if (options.help) {
        printLine(SimOptions::helpText());
        return 0;
    }
    std::unique_ptr<SimLine> line = openLine(options, &error);
    if (!line) {
        std::fprintf(stderr, "zevr-sim: %s\n", qPrintable(error));
        return 1;
    }
    quitOnSignals(app);
    printLine(line->path());
    if (!options.link.isEmpty()) {
        pointLink(options.link, line->path());
        QObject::connect(line.get(), &SimLine::pathChanged, &app,
                         [&options](const QString &path) { pointLink(options.link, path); });
    }
    SimDevice device(line.get(), options.device);
    QObject::connect(&device, &SimDevice::reported, &app, [&options](const QString &text, const QJsonObject &json) {
        printLine(options.json ? QString::fromUtf8(QJsonDocument(json).toJson(QJsonDocument::Compact)) : text);
    });
    const int code = app.exec();
    if (!options.link.isEmpty())
        QFile::remove(options.link);
    return code;
}
