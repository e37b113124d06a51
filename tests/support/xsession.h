#ifndef XSESSION_H
#define XSESSION_H

#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// A private X server for tests that run the real program as the operator would.
class XServer {
public:
    // `screen` as Xvfb takes it ("1366x768x24"); `dpi` 0 keeps Xvfb's default.
    explicit XServer(const QString &screen = QStringLiteral("1366x768x24"), int dpi = 0);
    ~XServer();

    bool isValid() const { return !m_display.isEmpty(); }
    QString display() const { return m_display; }

private:
    QProcess m_xvfb;
    QString m_display;
};

// Runs xdotool against `display`; its output lines, empty when it failed or took too long.
QStringList xdotool(const QString &display, const QStringList &arguments);

// Waits, with the event loop running, until `condition` holds or `timeoutMs` has passed.
bool waitUntil(int timeoutMs, const std::function<bool()> &condition);

// One copy of a program on a private display, killed if a test leaves it running.
class ProgramUnderX {
public:
    ProgramUnderX(const QString &display, const QString &workDir, const QString &runtimeDir,
                  const QString &program = QStringLiteral(ZEVR_PROGRAM_PATH), const QStringList &extraEnvironment = {});

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    qint64 processId() const { return m_process.processId(); }

    // The window id of the first visible window titled `title`; 0 if the program died or took too long.
    quint32 waitForWindow(const QString &title);
    // "Файл" is the first entry of the menu bar and "Выход" the last entry of its menu.
    bool chooseExit(quint32 window);
    // The exit code, or -1 when the program did not end by itself.
    int waitForExit();

private:
    QStringList visibleWindows() const;

    QString m_display;
    QProcess m_process;
};

#endif // XSESSION_H
