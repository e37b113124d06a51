#include "serial/historycsv.h"

#include "protocol/commanddescription.h"

#include <QLocale>
#include <QStringList>

namespace {

QString field(const QString &text) {
    if (!text.contains(QLatin1Char(';')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QStringList fields(const Transmission &transmission) {
    const bool refused = transmission.state == Transmission::State::Refused;
    QStringList ports;
    QStringList results;
    for (const LinkAttempt &attempt : transmission.attempts) {
        ports << attempt.port;
        results << attempt.port + QStringLiteral(": ") +
                       (attempt.result.isEmpty() ? QStringLiteral("ждёт ответа") : attempt.result);
    }
    return {QLocale::c().toString(transmission.queued, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")),
            refused ? transmission.refusedCommand : describeCommand(transmission.command),
            ports.join(QStringLiteral(", ")),
            results.isEmpty() ? transmission.outcomeText() : results.join(QStringLiteral("; ")),
            hexBytes(transmission.command)};
}

} // namespace

QByteArray historyCsv(const QVector<Transmission> &transmissions) {
    QStringList lines = {QStringLiteral("Время;Команда;Порт;Результат;Байты")};
    for (const Transmission &transmission : transmissions) {
        QStringList line;
        for (const QString &text : fields(transmission))
            line << field(text);
        lines << line.join(QLatin1Char(';'));
    }
    return QByteArrayLiteral("\xEF\xBB\xBF") + lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}
