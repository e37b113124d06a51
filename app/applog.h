#ifndef APPLOG_H
#define APPLOG_H

#include <QDateTime>
#include <QFile>
#include <QObject>

#include <functional>

class AppLog : public QObject {
    Q_OBJECT

public:
    // The clock gives the local time for the file name and for each line; tests pass a fixed one.
    using Clock = std::function<QDateTime()>;

    explicit AppLog(QObject *parent = nullptr, Clock clock = {});

    QString fileName() const;

public slots:
    void slot_write_to_log_file(QString text);

private:
    QDateTime now() const;

    QFile log_file;
    Clock m_clock;
};

extern AppLog app_log;

#endif // APPLOG_H
