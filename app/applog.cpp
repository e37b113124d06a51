#include "app/applog.h"

#include <QDir>
#include <QLocale>

AppLog app_log;

namespace {

const char logFolder[] = "LOGS_ZEVR_3G_Config";

// The C locale keeps the digits ASCII whatever the system's locale would render.
QString formatTime(const QDateTime &time, const char *pattern) {
    return QLocale::c().toString(time, QLatin1String(pattern));
}

} // namespace

AppLog::AppLog(QObject *parent, Clock clock) : QObject(parent), m_clock(std::move(clock)) {
    const QString folder = QLatin1String(logFolder);
    QDir().mkdir(folder);
    log_file.setFileName(folder + QLatin1String("/log_") + formatTime(now(), "ddMMyyyy_mm") + QLatin1String(".log"));
}

QString AppLog::fileName() const { return log_file.fileName(); }

// The file is open only for the one line, so every line is on disk when the slot returns and other programs
// can read the log meanwhile. A line that cannot be written is dropped; the next one tries again.
void AppLog::slot_write_to_log_file(QString text) {
    const QString line =
        formatTime(now(), "dd.MM.yyyy hh:mm:ss") + QLatin1String(":    ") + text + QLatin1String("\r\n");
    if (!log_file.open(QIODevice::Append))
        return;
    log_file.write(line.toLocal8Bit());
    log_file.close();
}

QDateTime AppLog::now() const { return m_clock ? m_clock() : QDateTime::currentDateTime(); }
