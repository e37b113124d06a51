#ifndef XSESSION_H
#define XSESSION_H

#include <QImage>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

// A private X server for tests that run the real program as the operator would.
class XServer {
public:
    // `screen` as Xvfb takes it ("1366x768x24"); `dpi` 0 keeps Xvfb's default. A dpi is also set as Xft.dpi, as
    // desktops do, so that programs read the same density whichever source they take it from.
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

// The least size that a window asks of the window manager (WM_NORMAL_HINTS); invalid when it asks none.
QSize minimumWindowSize(const QString &display, quint32 window);
// Whether a window offers the task bar an icon of its own (_NET_WM_ICON).
bool hasWindowIcon(const QString &display, quint32 window);
// Where a window is and how large; invalid when xdotool cannot tell.
QRect windowGeometry(const QString &display, quint32 window);
// What a window shows now; null when it cannot be taken.
QImage grabWindow(const QString &display, quint32 window);

// Waits, with the event loop running, until `condition` holds or `timeoutMs` has passed.
bool waitUntil(int timeoutMs, const std::function<bool()> &condition);

// One copy of a program on a private display, killed if a test leaves it running.
class ProgramUnderX {
public:
    ProgramUnderX(const QString &display, const QString &workDir, const QString &runtimeDir,
                  const QString &program = QStringLiteral(ZEVR_PROGRAM_PATH), const QStringList &extraEnvironment = {});

    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // The window id of the first visible window titled `title`; 0 if the program died or took too long.
    quint32 waitForWindow(const QString &title);
    // Opens the menu "Файл", the first of the menu bar, then presses `keys` (xdotool key names).
    bool chooseFromMenu(quint32 window, const QStringList &keys);
    // "Выход" is the last entry of "Файл"; Up from a menu just opened goes there, whatever stands above it.
    bool chooseExit(quint32 window) { return chooseFromMenu(window, {"Up", "Return"}); }
    // "Справка" is the second entry of the menu "Справка", the next menu to the right.
    bool chooseManual(quint32 window) { return chooseFromMenu(window, {"Right", "Down", "Return"}); }
    // Gives the window the keyboard and presses `keys` (xdotool key names, such as "ctrl+Tab").
    void pressKeys(quint32 window, const QStringList &keys);
    // The exit code, or -1 when the program did not end by itself.
    int waitForExit();

private:
    QStringList visibleWindows() const;

    QString m_display;
    QProcess m_process;
};

#endif // XSESSION_H
