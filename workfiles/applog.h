#ifndef APPLOG_H
#define APPLOG_H

#include "workfiles/fileresult.h"

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

signals:
    // Lines are being lost: said once, when the first one is, with the file and the reason.
    void signal_notice(QString text, QString details);
    // Lines reach the file again, so the notice no longer holds.
    void signal_notice_withdrawn(QString text);

public slots:
    void slot_write_to_log_file(QString text);

private:
    FileResult appendLine(const QByteArray &line) const;
    QDateTime now() const;

    QFile log_file;
    Clock m_clock;
    bool m_stopped = false;
};

extern AppLog app_log;

#endif // APPLOG_H
