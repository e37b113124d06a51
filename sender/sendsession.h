#ifndef SENDSESSION_H
#define SENDSESSION_H

#include "sender/sendoptions.h"
#include "protocol/profile.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"

#include <QDateTime>
#include <QJsonArray>
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
    // Ctrl+C or a termination signal: the search stops, the port is closed, nothing more is sent.
    void interrupt();

signals:
    void finished(int exitCode);

private:
    enum class Phase { Sending, WaitingForUnit, WaitingForGone, Done };

    Commands::Encoded commandFor(int tab) const;
    void sendNext();
    void probe();
    void transmissionFinished(const Transmission &transmission);
    void unitCommandFinished(const Transmission &transmission);
    void waitingForUnitFinished(const Transmission &transmission);
    void waitingForGoneFinished(const Transmission &transmission);
    void unitFinished(int code);
    void waitForNextUnit();
    void appendRecord(const QJsonObject &record);
    QJsonObject unitRecord(int code) const;
    int sentCount() const;
    void finish(int code);

    SendOptions m_options;
    Profiles::Profile m_profile;
    SendOutput *m_output;
    SerialThread m_worker;
    TransmissionJournal m_journal;
    QTimer m_pollTimer;
    QVector<int> m_tabs;
    Phase m_phase = Phase::Done;
    int m_next = 0; // index into m_tabs of the command on its way
    QDateTime m_unitStarted;
    QVector<Transmission> m_unitTransmissions;
    QDateTime m_quietSince;
    int m_unitsServed = 0;
    int m_lastFailure = SendOptions::Sent;
    bool m_interrupted = false;
    bool m_finished = false;
};

#endif // SENDSESSION_H
