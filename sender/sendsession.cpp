#include "sender/sendsession.h"

#include "protocol/commanddescription.h"
#include "sender/sendoutput.h"
#include "serial/linkreports.h"
#include "workfiles/settingsfile.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QLocale>

namespace {

QString outcomeToken(SerialThread::Outcome outcome) {
    switch (outcome) {
    case SerialThread::Outcome::Sent:
        return QStringLiteral("sent");
    case SerialThread::Outcome::SendFailed:
        return QStringLiteral("send_failed");
    case SerialThread::Outcome::NotFound:
        return QStringLiteral("not_found");
    case SerialThread::Outcome::NoPort:
        return QStringLiteral("no_port");
    case SerialThread::Outcome::Cancelled:
        break;
    }
    return QStringLiteral("interrupted");
}

int exitCodeOf(SerialThread::Outcome outcome) {
    switch (outcome) {
    case SerialThread::Outcome::Sent:
        return SendOptions::Sent;
    case SerialThread::Outcome::SendFailed:
        return SendOptions::SendFailed;
    case SerialThread::Outcome::NotFound:
    case SerialThread::Outcome::NoPort:
        return SendOptions::NoDevice;
    case SerialThread::Outcome::Cancelled:
        break;
    }
    return SendOptions::Interrupted;
}

QString unitOutcome(int code) {
    switch (code) {
    case SendOptions::Sent:
        return QStringLiteral("sent");
    case SendOptions::SendFailed:
        return QStringLiteral("send_failed");
    case SendOptions::NoDevice:
        return QStringLiteral("not_found");
    case SendOptions::BadProfile:
        return QStringLiteral("refused");
    default:
        return QStringLiteral("interrupted");
    }
}

QString tabName(int tabs) {
    switch (tabs) {
    case SendOptions::Station:
        return QStringLiteral("station");
    case SendOptions::Clock:
        return QStringLiteral("time");
    case SendOptions::Meter:
        return QStringLiteral("meter");
    default:
        return QStringLiteral("all");
    }
}

QJsonObject commandJson(const QByteArray &bytes) {
    return {{"command", describeCommand(bytes)}, {"bytes", hexBytes(bytes)}};
}

} // namespace

SendSession::SendSession(const SendOptions &options, const Profiles::Profile &profile,
                         const ConnectionValues &connection, SendOutput *output, QObject *parent)
    : QObject(parent), m_options(options), m_profile(profile), m_output(output), m_journal(&m_worker) {
    m_worker.applyConnectionValues(connection);
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
    if (m_options.wait) {
        m_output->notice(QStringLiteral("ожидание контроллера"));
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
    case Phase::Done:
        break;
    }
}

void SendSession::unitCommandFinished(const Transmission &transmission) {
    m_unitTransmissions << transmission;
    if (transmission.outcome != SerialThread::Outcome::Sent) {
        unitFinished(exitCodeOf(transmission.outcome));
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
        m_output->holdReports(true);
        m_pollTimer.start(m_options.pollMs);
        return;
    }
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
        if (!m_quietSince.isValid())
            m_quietSince = transmission.queued;
        if (m_quietSince.msecsTo(QDateTime::currentDateTime()) >= m_options.goneMs) {
            m_output->notice(QStringLiteral("линия молчит; ожидание следующего контроллера"));
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

void SendSession::unitFinished(int code) {
    const QJsonObject record = unitRecord(code);
    const QString port = record.value("port").toString();
    m_output->notice(QStringLiteral("%1: отправлено команд %2 из %3")
                         .arg(port.isEmpty() ? QStringLiteral("порт не найден") : port)
                         .arg(sentCount())
                         .arg(m_tabs.size()));
    m_output->unit(record);
    appendRecord(record);
    ++m_unitsServed;
    if (code != SendOptions::Sent)
        m_lastFailure = code;
    if (!m_options.wait || code == SendOptions::BadProfile || code == SendOptions::Interrupted ||
        (m_options.units > 0 && m_unitsServed >= m_options.units)) {
        finish(m_options.wait && code != SendOptions::Interrupted ? m_lastFailure : code);
        return;
    }
    waitForNextUnit();
}

void SendSession::waitForNextUnit() {
    m_output->notice(QStringLiteral("ожидание, пока линия замолчит и ответит следующий контроллер"));
    m_phase = Phase::WaitingForGone;
    m_quietSince = QDateTime();
    m_output->holdReports(true);
    probe();
}

QJsonObject SendSession::unitRecord(int code) const {
    QJsonArray commands;
    QString port;
    for (const Transmission &transmission : m_unitTransmissions) {
        QJsonObject command = commandJson(transmission.command);
        command.insert("outcome", outcomeToken(transmission.outcome));
        QJsonArray attempts;
        for (const LinkAttempt &attempt : transmission.attempts)
            attempts.append(QJsonObject{{"port", attempt.port}, {"result", attempt.result}});
        command.insert("attempts", attempts);
        commands.append(command);
        if (!transmission.attempts.isEmpty())
            port = transmission.attempts.last().port;
    }
    for (int index = m_unitTransmissions.size(); index < m_tabs.size(); ++index) {
        QJsonObject command = commandJson(commandFor(m_tabs.at(index)).bytes);
        command.insert("outcome", QStringLiteral("not_sent"));
        commands.append(command);
    }
    return {{"time", isoTime(m_unitStarted)},
            {"port", port},
            {"profile", QFileInfo(m_options.profile).absoluteFilePath()},
            {"tab", tabName(m_options.tabs)},
            {"outcome", unitOutcome(code)},
            {"commands", commands}};
}

// Opened and closed for each line, so that every unit served is on disk even if the run is killed.
void SendSession::appendRecord(const QJsonObject &record) {
    if (m_options.record.isEmpty())
        return;
    QFile file(m_options.record);
    const QByteArray line = QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(line) != line.size() || !file.flush())
        m_output->notice(QStringLiteral("запись не добавлена в %1: %2").arg(m_options.record, file.errorString()));
}

void SendSession::interrupt() {
    if (m_phase == Phase::Done)
        return;
    m_interrupted = true;
    m_pollTimer.stop();
    const Phase phase = m_phase;
    m_worker.slot_cancel();
    // Mid-unit, the cancelled transmission has ended the unit as interrupted; between units nothing was lost.
    if (phase != Phase::Sending && m_phase != Phase::Done)
        finish(m_lastFailure);
}

int SendSession::sentCount() const {
    int count = 0;
    for (const Transmission &transmission : m_unitTransmissions)
        count += transmission.outcome == SerialThread::Outcome::Sent ? 1 : 0;
    return count;
}

void SendSession::finish(int code) {
    if (m_finished)
        return;
    m_finished = true;
    m_phase = Phase::Done;
    m_pollTimer.stop();
    m_output->holdReports(false);
    m_output->exitCode(code);
    emit finished(code);
}

// The link and the sender carry their own meta-object code, so that a program using them does not pull in the
// window's (and its start-up objects) through the collected moc file.
#include "moc_sendsession.cpp"
