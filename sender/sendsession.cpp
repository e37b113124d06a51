#include "sender/sendsession.h"

#include "sender/sendoutput.h"
#include "sender/unitrecord.h"
#include "serial/linkreports.h"
#include "workfiles/safefile.h"
#include "workfiles/settingsfile.h"

#include <QJsonDocument>
#include <QLocale>

namespace {

const QString noAnswer = QStringLiteral("нет ответа");

// A poll that found the port open and nobody answering is the waiting run's ordinary state, not news.
bool quietLine(const Transmission &transmission) {
    if (transmission.attempts.isEmpty())
        return false;
    for (const LinkAttempt &attempt : transmission.attempts)
        if (attempt.result != noAnswer)
            return false;
    return true;
}

} // namespace

SendSession::SendSession(const SendOptions &options, const Profiles::Profile &profile,
                         const ConnectionValues &connection, SendOutput *output, QObject *parent)
    : QObject(parent), m_options(options), m_profile(profile), m_output(output), m_journal(&m_worker) {
    m_worker.applyConnectionValues(connection);
    // One named port is the run's own from start to end: its lock file tells another program who has it.
    m_worker.setHoldPort(!connection.com_auto);
    for (int tab : {SendOptions::Station, SendOptions::Clock, SendOptions::Meter})
        if (options.tabs & tab)
            m_tabs << tab;
    connect(&m_worker, &SerialThread::signal_port_opend, this,
            [this](QString name, int baud, int lenght, quint8 parity, int stopbit, QString xof) {
                m_output->report(openedReport(name, baud, lenght, parity, stopbit, xof));
            });
    // No port at all is the command line's or the settings file's to mend, not the window's dialog.
    connect(&m_worker, &SerialThread::signal_port_notopend, this, [this](QString name) {
        m_output->report(name.isEmpty() ? QStringLiteral("Порт не выбран: укажите --port или --auto либо «COM Port» "
                                                         "в settings.ini")
                                        : notOpenedReport(name));
    });
    connect(&m_worker, &SerialThread::signal_show_message, this, [this](QString text) { m_output->report(text); });
    connect(&m_worker, &SerialThread::signal_attempt_failed, this,
            [this](QString name, QString reason) { m_output->attemptFailed(name, reason); });
    connect(&m_journal, &TransmissionJournal::transmissionFinished, this, &SendSession::transmissionFinished);
    m_pollTimer.setSingleShot(true);
    connect(&m_pollTimer, &QTimer::timeout, this, [this] { m_phase == Phase::WaitingForGone ? probe() : sendNext(); });
}

void SendSession::start() {
    if (m_phase != Phase::NotStarted)
        return;
    if (m_interrupted) {
        finish(SendOptions::Interrupted);
        return;
    }
    if (m_options.wait) {
        m_output->notice(QStringLiteral("ожидание ") + waitingFor());
        m_phase = Phase::WaitingForUnit;
        m_output->holdReports(true);
    } else {
        m_phase = Phase::Sending;
        m_unitStarted = QDateTime::currentDateTime();
    }
    sendNext();
}

// With --now the clock is read when its command is about to go, not when the run began.
Commands::Encoded SendSession::commandFor(int tab) const {
    switch (tab) {
    case SendOptions::Station:
        return Profiles::stationCommand(*m_profile.station);
    case SendOptions::Clock:
        if (m_options.now) {
            // ASCII digits whatever the workstation's locale would write.
            const QDateTime now = QDateTime::currentDateTime();
            const QLocale c = QLocale::c();
            return Commands::dateTime(c.toString(now, QStringLiteral("hh:mm:ss")),
                                      c.toString(now, QStringLiteral("dd/MM/yyyy")));
        }
        return Profiles::clockCommand(*m_profile.clock);
    default:
        return Profiles::meterCommand(*m_profile.meter);
    }
}

void SendSession::sendNext() {
    const Commands::Encoded command = commandFor(m_tabs.at(m_next));
    if (command.isRefused()) {
        m_output->releaseHeld();
        m_output->report(command.refusal);
        m_unitStarted = QDateTime::currentDateTime();
        unitFinished(SendOptions::BadProfile);
        return;
    }
    m_worker.slot_data_send(command.bytes);
}

// An empty command only asks whether a controller still answers.
void SendSession::probe() { m_worker.slot_data_send(QByteArray()); }

void SendSession::transmissionFinished(const Transmission &transmission) {
    if (m_interrupted && transmission.outcome == SerialThread::Outcome::Cancelled && m_phase != Phase::Sending)
        return;
    switch (m_phase) {
    case Phase::Sending:
        unitCommandFinished(transmission);
        break;
    case Phase::WaitingForUnit:
        waitingForUnitFinished(transmission);
        break;
    case Phase::WaitingForGone:
        waitingForGoneFinished(transmission);
        break;
    case Phase::NotStarted:
    case Phase::Done:
        break;
    }
}

void SendSession::unitCommandFinished(const Transmission &transmission) {
    m_unitTransmissions << transmission;
    if (transmission.outcome != SerialThread::Outcome::Sent) {
        unitFinished(UnitRecord::exitCodeOf(transmission.outcome));
        return;
    }
    if (++m_next < m_tabs.size())
        sendNext();
    else
        unitFinished(SendOptions::Sent);
}

// Probes of an empty line stay quiet; the one that finds a controller starts the unit.
void SendSession::waitingForUnitFinished(const Transmission &transmission) {
    const bool answered = transmission.outcome == SerialThread::Outcome::Sent ||
                          transmission.outcome == SerialThread::Outcome::SendFailed;
    if (!answered) {
        tellLineState(transmission);
        m_output->holdReports(true);
        m_pollTimer.start(m_options.pollMs);
        return;
    }
    m_lineState.clear();
    m_output->releaseHeld();
    m_phase = Phase::Sending;
    m_unitStarted = transmission.queued;
    unitCommandFinished(transmission);
}

// The served unit answers until it is unplugged; only a line quiet for --gone ms makes way for the next one,
// so a unit that pauses after its configuration is not configured twice.
void SendSession::waitingForGoneFinished(const Transmission &transmission) {
    if (transmission.outcome == SerialThread::Outcome::Sent) {
        m_quietSince = QDateTime();
    } else {
        tellLineState(transmission);
        if (!m_quietSince.isValid())
            m_quietSince = transmission.queued;
        if (m_quietSince.msecsTo(QDateTime::currentDateTime()) >= m_options.goneMs) {
            m_output->notice(QStringLiteral("линия молчит; ожидание ") + waitingFor());
            m_phase = Phase::WaitingForUnit;
            m_next = 0;
            m_unitTransmissions.clear();
            m_output->holdReports(true);
            sendNext();
            return;
        }
    }
    m_pollTimer.start(m_options.pollMs);
}

// A port that is missing, taken by another program or refused is said once, and again only when that changes, so a
// depot's operator learns why nothing happens without a line per poll.
void SendSession::tellLineState(const Transmission &transmission) {
    const QString state = quietLine(transmission) ? QString() : UnitRecord::pollSummary(transmission);
    if (state == m_lineState)
        return;
    const QString now = state.isEmpty() ? QStringLiteral("порт открыт, контроллер не отвечает") : state;
    m_lineState = state;
    m_output->notice(QStringLiteral("ожидание ") + waitingFor() + QStringLiteral(": ") + now);
}

QString SendSession::waitingFor() const {
    return QStringLiteral("контроллера %1 (обслужено: %2)").arg(m_unitsServed + 1).arg(m_unitsServed);
}

void SendSession::unitFinished(int code) {
    UnitRecord::Unit unit{m_unitStarted, m_options.profile, m_options.tabs, code, m_unitTransmissions, {}};
    for (int index = m_unitTransmissions.size(); index < m_tabs.size(); ++index)
        unit.notSent << commandFor(m_tabs.at(index)).bytes;
    QJsonObject record = UnitRecord::toJson(unit);
    const QString port = record.value("port").toString();
    m_output->notice(QStringLiteral("%1: отправлено команд %2 из %3")
                         .arg(port.isEmpty() ? QStringLiteral("порт не найден") : port)
                         .arg(sentCount())
                         .arg(m_tabs.size()));
    const bool recorded = appendRecord(&record);
    m_output->unit(record);
    ++m_unitsServed;
    if (code != SendOptions::Sent)
        m_lastFailure = code;
    // A depot must not go on serving units that leave no trace: the run stops at the first record that failed.
    if (!recorded || !m_options.wait || code == SendOptions::BadProfile || code == SendOptions::Interrupted ||
        (m_options.units > 0 && m_unitsServed >= m_options.units)) {
        finish(m_options.wait && code != SendOptions::Interrupted ? m_lastFailure : code);
        return;
    }
    waitForNextUnit();
}

void SendSession::waitForNextUnit() {
    m_output->notice(QStringLiteral("ожидание, пока линия замолчит и ответит следующий контроллер (обслужено: %1)")
                         .arg(m_unitsServed));
    m_phase = Phase::WaitingForGone;
    m_quietSince = QDateTime();
    m_output->holdReports(true);
    probe();
}

// Opened and closed for each line, so that every unit served is on disk even if the run is killed; a line goes in
// whole or not at all. The unit's JSON tells whether it was recorded.
bool SendSession::appendRecord(QJsonObject *record) {
    if (m_options.record.isEmpty())
        return true;
    const QByteArray line = QJsonDocument(*record).toJson(QJsonDocument::Compact) + '\n';
    const FileResult written = SafeFile::appendLine(m_options.record, line);
    record->insert("recorded", written.ok());
    if (written.ok())
        return true;
    m_recordFailed = true;
    m_output->recordFailed(m_options.record, written.reason);
    return false;
}

void SendSession::interrupt() {
    if (m_phase == Phase::NotStarted) {
        m_interrupted = true;
        return;
    }
    if (m_phase == Phase::Done)
        return;
    m_interrupted = true;
    m_pollTimer.stop();
    const Phase phase = m_phase;
    m_worker.slot_cancel();
    // Mid-unit, the cancelled transmission has ended the unit as interrupted. Between units nothing was lost, unless
    // no unit was served at all: then the run did not do what it was started for.
    if (phase != Phase::Sending && m_phase != Phase::Done)
        finish(m_unitsServed == 0 ? int(SendOptions::Interrupted) : m_lastFailure);
}

int SendSession::sentCount() const {
    int count = 0;
    for (const Transmission &transmission : m_unitTransmissions)
        count += transmission.outcome == SerialThread::Outcome::Sent ? 1 : 0;
    return count;
}

// A record that could not be written outweighs every other outcome: the depot has to know that a unit left no
// trace, whatever else went wrong.
void SendSession::finish(int code) {
    if (m_finished)
        return;
    m_finished = true;
    m_phase = Phase::Done;
    m_pollTimer.stop();
    m_worker.setHoldPort(false);
    m_output->holdReports(false);
    const int exitCode = m_recordFailed ? int(SendOptions::NotRecorded) : code;
    m_output->exitCode(exitCode);
    emit finished(exitCode);
}

// The link and the sender carry their own meta-object code, so that a program using them does not pull in the
// window's (and its start-up objects) through the collected moc file.
#include "moc_sendsession.cpp"
