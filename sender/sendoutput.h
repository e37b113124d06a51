#ifndef SENDOUTPUT_H
#define SENDOUTPUT_H

#include <QJsonObject>
#include <QStringList>

#include <cstdio>

// What zevr3g-send prints: the status bar's reports on standard output, one per line, and everything else on
// standard error; or, with --json, one JSON object per line on standard output.
class SendOutput {
public:
    SendOutput(bool json, std::FILE *out = stdout, std::FILE *err = stderr);

    void report(const QString &text);
    void attemptFailed(const QString &port, const QString &reason);
    void notice(const QString &text);
    void unit(const QJsonObject &record);
    // The unit's line could not be added to the --record file.
    void recordFailed(const QString &file, const QString &reason);
    // A bad command line or settings file: said before the exit status, in JSON too when --json was asked for.
    void usageError(const QString &problem);
    void exitCode(int code);

    // While a depot's run polls an empty line, the reports of its probes are held back; those of the probe
    // that finds a controller are let through.
    void holdReports(bool hold);
    void releaseHeld();

private:
    void printJson(QJsonObject object);
    void printLine(std::FILE *stream, const QString &line);
    static void writeLine(std::FILE *stream, QByteArray bytes);

    bool m_json;
    std::FILE *m_out;
    std::FILE *m_err;
    bool m_holding = false;
    QStringList m_held;
};

// "2026-12-06T14:05:07.120+03:00": local time with its offset, so that records from different days sort.
QString isoTime(const QDateTime &time);

#endif // SENDOUTPUT_H
