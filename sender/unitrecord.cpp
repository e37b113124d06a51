#include "sender/unitrecord.h"

#include "protocol/commanddescription.h"
#include "sender/sendoptions.h"
#include "sender/sendoutput.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QStringList>

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

int UnitRecord::exitCodeOf(SerialThread::Outcome outcome) {
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

QJsonObject UnitRecord::toJson(const Unit &unit) {
    QJsonArray commands;
    QString port;
    for (const Transmission &transmission : unit.transmissions) {
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
    for (const QByteArray &bytes : unit.notSent) {
        QJsonObject command = commandJson(bytes);
        command.insert("outcome", QStringLiteral("not_sent"));
        commands.append(command);
    }
    return {{"time", isoTime(unit.started)},
            {"port", port},
            {"profile", QFileInfo(unit.profilePath).absoluteFilePath()},
            {"tab", tabName(unit.tabs)},
            {"outcome", unitOutcome(unit.code)},
            {"commands", commands}};
}

QString UnitRecord::pollSummary(const Transmission &transmission) {
    QStringList attempts;
    for (const LinkAttempt &attempt : transmission.attempts)
        attempts << attempt.port + QStringLiteral(": ") + attempt.result;
    return attempts.isEmpty() ? transmission.outcomeText() : attempts.join(QStringLiteral("; "));
}
