#include "app/applog.h"

// Placeholder bodies; the application log lands with its own change.
AppLog app_log;

AppLog::AppLog(QObject *parent) : QObject(parent) {}

void AppLog::slot_write_to_log_file(QString) {}
