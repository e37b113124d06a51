// zevr3g-send: the commands of a saved profile to a ZEVR-3G controller, without a window.

#include "sender/consoletext.h"
#include "sender/quitrequests.h"
#include "sender/sendoptions.h"
#include "sender/sendoutput.h"
#include "sender/sendsession.h"
#include "workfiles/profilefile.h"
#include "workfiles/safefile.h"
#include "workfiles/settingsfile.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace {

constexpr qint64 maxSettingsSize = 64 << 20;

// The connection values as the program would use them: the settings file when there is one, else the
// defaults of a first start. Nothing is created, and only a regular file is read.
bool readConnection(const SendOptions &options, ConnectionValues *values, QString *problem) {
    const bool named = !options.settings.isEmpty();
    const QString path = named ? options.settings : QStringLiteral("settings.ini");
    if (!named && !QFileInfo::exists(path)) {
        *values = connectionValuesFromMap(parseSettings(defaultSettingsContent()));
    } else {
        QByteArray content;
        const FileResult read = SafeFile::readRegular(path, maxSettingsSize, &content);
        // Cut at the limit, the last pair could name a port or a speed that the file does not hold.
        if (!read.ok() || content.size() > maxSettingsSize) {
            const QString reason =
                read.ok() ? QStringLiteral("файл больше %1 МиБ").arg(maxSettingsSize >> 20) : read.reason;
            *problem = QStringLiteral("файл настроек %1 не читается: %2").arg(path, reason);
            return false;
        }
        *values = connectionValuesFromMap(parseSettings(content));
    }
    if (!options.port.isEmpty()) {
        values->com_auto = false;
        values->com_port = options.port;
    } else if (options.autoSearch) {
        values->com_auto = true;
    }
    return true;
}

// A record file that cannot take a line is found before the first unit, not after it; a FIFO or a device is refused
// without waiting for it.
bool recordWritable(const QString &path, QString *problem) {
    const FileResult check = SafeFile::checkAppendable(path);
    if (check.ok())
        return true;
    *problem = QStringLiteral("--record: %1 не годится для записи: %2").arg(path, check.reason);
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

int usage(SendOutput &output, const QString &problem) {
    output.usageError(problem);
    output.exitCode(SendOptions::Usage);
    return SendOptions::Usage;
}

} // namespace

int main(int argc, char **argv) {
    QuitRequests::install();
    QCoreApplication app(argc, argv);
    SendOptions options;
    QString problem;
    const bool parsed = SendOptions::parse(app.arguments(), &options, &problem);
    SendOutput output(options.json);
    if (!parsed)
        return usage(output, problem);
    if (options.help || options.version) {
        const QString text = options.help ? SendOptions::helpText() : QStringLiteral("zevr3g-send 1.2\n");
        ConsoleText::write(stdout, text);
        return 0;
    }
    ConnectionValues connection;
    if (!readConnection(options, &connection, &problem) ||
        (!options.record.isEmpty() && !recordWritable(options.record, &problem)))
        return usage(output, problem);

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
    QuitRequests::interruptOn(&session, [&session] { session.interrupt(); });
    QMetaObject::invokeMethod(&session, &SendSession::start, Qt::QueuedConnection);
    const int code = app.exec();
    QuitRequests::runEnded();
    return code;
}
