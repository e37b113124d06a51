#ifndef APPLOG_H
#define APPLOG_H

#include <QFile>
#include <QObject>

class AppLog : public QObject {
    Q_OBJECT

public:
    explicit AppLog(QObject *parent = nullptr);

public slots:
    void slot_write_to_log_file(QString text);

private:
    QFile log_file;
};

extern AppLog app_log;

#endif // APPLOG_H
