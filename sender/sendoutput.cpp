#include "sender/sendoutput.h"

#include "sender/consoletext.h"

#include <QDateTime>
#include <QJsonDocument>

QString isoTime(const QDateTime &time) {
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODateWithMs);
}

SendOutput::SendOutput(bool json, std::FILE *out, std::FILE *err) : m_json(json), m_out(out), m_err(err) {}

void SendOutput::report(const QString &text) {
    if (m_holding)
        m_held << text;
    else if (m_json)
        printJson({{"event", "report"}, {"text", text}});
    else
        printLine(m_out, text);
}

void SendOutput::attemptFailed(const QString &port, const QString &reason) {
    if (m_holding)
        return;
    if (m_json)
        printJson({{"event", "attempt"}, {"port", port}, {"reason", reason}});
    else
        printLine(m_err, QStringLiteral("zevr3g-send: %1: %2").arg(port, reason));
}

void SendOutput::notice(const QString &text) {
    if (m_json)
        printJson({{"event", "notice"}, {"text", text}});
    else
        printLine(m_err, QStringLiteral("zevr3g-send: ") + text);
}

void SendOutput::unit(const QJsonObject &record) {
    if (m_json) {
        QJsonObject event = record;
        event.insert("event", "unit");
        printJson(event);
    }
}

void SendOutput::recordFailed(const QString &file, const QString &reason) {
    if (m_json)
        printJson({{"event", "record_failed"}, {"file", file}, {"reason", reason}});
    else
        printLine(m_err, QStringLiteral("zevr3g-send: запись о контроллере не добавлена в %1: %2").arg(file, reason));
}

void SendOutput::usageError(const QString &problem) {
    if (m_json)
        printJson({{"event", "usage"}, {"text", problem}});
    else
        printLine(m_err, QStringLiteral("zevr3g-send: %1\nСправка: zevr3g-send --help").arg(problem));
}

void SendOutput::exitCode(int code) {
    if (m_json)
        printJson({{"event", "exit"}, {"code", code}});
}

void SendOutput::holdReports(bool hold) {
    m_holding = hold;
    m_held.clear();
}

void SendOutput::releaseHeld() {
    const QStringList held = m_held;
    holdReports(false);
    for (const QString &text : held)
        report(text);
}

void SendOutput::printJson(QJsonObject object) {
    object.insert("t", isoTime(QDateTime::currentDateTime()));
    // JSON is UTF-8 whatever the terminal's encoding.
    writeLine(m_out, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Text lines as the reader's terminal or file can read them (see ConsoleText).
void SendOutput::printLine(std::FILE *stream, const QString &line) {
    ConsoleText::write(stream, line + QLatin1Char('\n'));
}

// Each line reaches a pipe at once, so that a script reading it sees the run as it happens.
void SendOutput::writeLine(std::FILE *stream, QByteArray bytes) {
    bytes += '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}
