#ifndef SIMPROCESS_H
#define SIMPROCESS_H

#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QVector>

// zevr-sim as a child process in JSON mode, for tests and benchmarks that drive the real link against it.
class SimProcess : public QObject {
    Q_OBJECT

public:
    explicit SimProcess(QObject *parent = nullptr);
    ~SimProcess() override;

    // Starts the simulator with --json and `arguments`; waits for the line it names.
    bool start(const QString &program, const QStringList &arguments, QString *error);
    void stop();
    // The line's current name; a hang-up without the right to keep it gives a new one.
    QString path() const { return m_path; }
    const QVector<QJsonObject> &events() const { return m_events; }
    // A long run that reads the events as they come need not keep them all.
    void setKeepEvents(bool keep) { m_keepEvents = keep; }

signals:
    void eventReceived(const QJsonObject &event);

private:
    void readLines();

    QProcess m_process;
    QString m_path;
    QVector<QJsonObject> m_events;
    bool m_keepEvents = true;
};

#endif // SIMPROCESS_H
