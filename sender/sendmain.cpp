// zevr3g-send: the commands of a saved profile to a ZEVR-3G controller, without a window.

#include "sender/sendoptions.h"
#include "sender/sendoutput.h"
#include "sender/sendsession.h"
#include "workfiles/settingsfile.h"
#include "protocol/profilefile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

// Ctrl+C and a termination request end the run in order: the port is closed and the record is complete.
#ifdef Q_OS_WIN
SendSession *interruptTarget = nullptr;

// Windows calls this on a thread of its own, so the session is reached through its event loop.
BOOL WINAPI onConsoleEvent(DWORD) {
    QMetaObject::invokeMethod(interruptTarget, &SendSession::interrupt, Qt::QueuedConnection);
    return TRUE;
}

void interruptOnSignals(QCoreApplication &, SendSession &session) {
    interruptTarget = &session;
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}
#else
int quitPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 0;
    (void)!::write(quitPipe[1], &byte, 1);
}

void interruptOnSignals(QCoreApplication &app, SendSession &session) {
    if (pipe2(quitPipe, O_CLOEXEC) != 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &session, &SendSession::interrupt);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        signal(signalNumber, onQuitSignal);
}
#endif

int usage(const QString &problem) {
    std::fprintf(stderr, "zevr3g-send: %s\nСправка: zevr3g-send --help\n", problem.toLocal8Bit().constData());
    return SendOptions::Usage;
}

// The connection values as the program would use them: the settings file when there is one, else the
// defaults of a first start. Nothing is created.
bool readConnection(const SendOptions &options, ConnectionValues *values, QString *problem) {
    const bool named = !options.settings.isEmpty();
    const QString path = named ? options.settings : QStringLiteral("settings.ini");
    if (!named && !QFileInfo::exists(path)) {
        *values = connectionValuesFromMap(parseSettings(defaultSettingsContent()));
    } else {
        QFile file(path);
        if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
            *problem = QStringLiteral("файл настроек %1 не читается: %2")
                           .arg(path, QFileInfo::exists(path) ? file.errorString() : QStringLiteral("файла нет"));
            return false;
        }
        *values = connectionValuesFromMap(parseSettings(file.readAll()));
    }
    if (!options.port.isEmpty()) {
        values->com_auto = false;
        values->com_port = options.port;
    } else if (options.autoSearch) {
        values->com_auto = true;
    }
    return true;
}

// A record file that cannot take a line is found before the first unit, not after it.
bool recordWritable(const QString &path, QString *problem) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        return true;
    *problem = QStringLiteral("--record: %1 не записывается: %2").arg(path, file.errorString());
    return false;
}

QString missingSection(const SendOptions &options, const Profiles::Profile &profile) {
    if ((options.tabs & SendOptions::Station) && !profile.station)
        return QStringLiteral("[station]");
    if ((options.tabs & SendOptions::Clock) && !profile.clock && !options.now)
        return QStringLiteral("[time]");
    if ((options.tabs & SendOptions::Meter) && !profile.meter)
        return QStringLiteral("[meter]");
    return QString();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    SendOptions options;
    QString problem;
    if (!SendOptions::parse(app.arguments(), &options, &problem))
        return usage(problem);
    if (options.help || options.version) {
        const QString text = options.help ? SendOptions::helpText() : QStringLiteral("zevr3g-send 1.2\n");
        std::fputs(text.toLocal8Bit().constData(), stdout);
        return 0;
    }
    ConnectionValues connection;
    if (!readConnection(options, &connection, &problem) ||
        (!options.record.isEmpty() && !recordWritable(options.record, &problem)))
        return usage(problem);

    SendOutput output(options.json);
    Profiles::ReadResult read = Profiles::readProfileFile(options.profile);
    if (read.isValid() && !missingSection(options, read.profile).isEmpty())
        read.problem = QStringLiteral("в профиле нет раздела %1").arg(missingSection(options, read.profile));
    if (!read.isValid()) {
        output.notice(QStringLiteral("профиль %1 не открыт: %2").arg(options.profile, read.message()));
        output.exitCode(SendOptions::BadProfile);
        return SendOptions::BadProfile;
    }
    if (!read.profile.clock)
        read.profile.clock.emplace();

    SendSession session(options, read.profile, connection, &output);
    QObject::connect(&session, &SendSession::finished, &app, &QCoreApplication::exit);
    interruptOnSignals(app, session);
    QMetaObject::invokeMethod(&session, &SendSession::start, Qt::QueuedConnection);
    return app.exec();
}
