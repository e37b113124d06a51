#ifndef SENDSESSION_H
#define SENDSESSION_H

#include "protocol/profile.h"
#include "sender/sendoptions.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"

#include <QDateTime>
#include <QObject>
#include <QTimer>

class SendOutput;
struct ConnectionValues;

// One run of zevr3g-send: the chosen tabs' commands through the same link worker as the window, one after the
// other; with --wait, unit after unit on one line.
class SendSession : public QObject {
    Q_OBJECT

public:
    SendSession(const SendOptions &options, const Profiles::Profile &profile, const ConnectionValues &connection,
                SendOutput *output, QObject *parent = nullptr);

    void start();
    // Ctrl+C or a termination signal: the search stops, the port is closed, nothing more is sent. One that comes
    // before start() ends the run before anything goes to the line.
    void interrupt();

signals:
    void finished(int exitCode);

private:
    enum class Phase { NotStarted, Sending, WaitingForUnit, WaitingForGone, Done };

    Commands::Encoded commandFor(int tab) const;
    void sendNext();
    void probe();
    void transmissionFinished(const Transmission &transmission);
    void unitCommandFinished(const Transmission &transmission);
    void waitingForUnitFinished(const Transmission &transmission);
    void waitingForGoneFinished(const Transmission &transmission);
    void tellLineState(const Transmission &transmission);
    QString waitingFor() const;
    void unitFinished(int code);
    void waitForNextUnit();
    bool appendRecord(QJsonObject *record);
    int sentCount() const;
    void finish(int code);

    SendOptions m_options;
    Profiles::Profile m_profile;
    SendOutput *m_output;
    SerialThread m_worker;
    TransmissionJournal m_journal;
    QTimer m_pollTimer;
    QVector<int> m_tabs;
    Phase m_phase = Phase::NotStarted;
    int m_next = 0; // index into m_tabs of the command on its way
    QDateTime m_unitStarted;
    QVector<Transmission> m_unitTransmissions;
    QDateTime m_quietSince;
    QString m_lineState; // what the waiting polls last found wrong with the line; empty: a quiet line, as expected
    int m_unitsServed = 0;
    int m_lastFailure = SendOptions::Sent;
    bool m_recordFailed = false;
    bool m_interrupted = false;
    bool m_finished = false;
};

#endif // SENDSESSION_H
