#include "support/xsession.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <optional>

namespace {

// What a copy of the program inherits from the test's environment: where things are, the locale, and the
// sanitizers' settings. The rest of a developer's desktop session (its platform theme and style, scale
// factors, font DPI, session bus) would change how the program looks and behaves from one machine to another.
QProcessEnvironment programEnvironment() {
    const QRegularExpression kept(QStringLiteral("^(PATH|HOME|TMPDIR|LANG|LANGUAGE|LC_.*|.*SAN_OPTIONS)$"));
    const QProcessEnvironment inherited = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment env;
    for (const QString &name : inherited.keys().filter(kept))
        env.insert(name, inherited.value(name));
    return env;
}

const int startTimeoutMs = 60000; // a sanitizer build on two busy cores starts slowly
const int exitTimeoutMs = 20000;
const int toolTimeoutMs = 10000;

// Runs an X client against `display`; its output lines, or nothing when it failed or took too long.
std::optional<QStringList> runTool(const QString &display, const QString &program, const QStringList &arguments,
                                   const QStringList &extraEnvironment = {}) {
    QProcess tool;
    // A later assignment wins.
    tool.setEnvironment(QProcess::systemEnvironment() + QStringList{"DISPLAY=" + display} + extraEnvironment);
    tool.start(program, arguments);
    if (!tool.waitForFinished(toolTimeoutMs) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt; // ~QProcess kills it
    return QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

XServer::XServer(const QString &screen, int dpi) {
    // -noreset: otherwise the server resets when its last client leaves and refuses the next one meanwhile.
    QStringList arguments = {"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", screen};
    if (dpi > 0)
        arguments << "-dpi" << QString::number(dpi);
    m_xvfb.start(QStringLiteral("Xvfb"), arguments);
    if (!m_xvfb.waitForReadyRead(toolTimeoutMs)) // the display number, once the server accepts clients
        return;
    const QByteArray number = m_xvfb.readLine().trimmed();
    if (number.isEmpty())
        return;
    const QString display = ':' + QString::fromLatin1(number);
    if (dpi > 0 && !runTool(display, QStringLiteral("xprop"),
                            {"-root", "-f", "RESOURCE_MANAGER", "8s", "-set", "RESOURCE_MANAGER",
                             QStringLiteral("Xft.dpi:\t%1\n").arg(dpi)}))
        return;
    m_display = display;
}

XServer::~XServer() {
    m_xvfb.terminate(); // lets Xvfb remove its lock file and socket
    if (!m_xvfb.waitForFinished(3000))
        m_xvfb.kill();
}

QStringList xdotool(const QString &display, const QStringList &arguments) {
    return runTool(display, QStringLiteral("xdotool"), arguments).value_or(QStringList());
}

bool hasWindowIcon(const QString &display, quint32 window) {
    const QStringList icon =
        runTool(display, QStringLiteral("xprop"), {"-notype", "-id", QString::number(window), "_NET_WM_ICON"})
            .value_or(QStringList());
    return icon.value(0).startsWith(QLatin1String("_NET_WM_ICON = "));
}

QSize minimumWindowSize(const QString &display, quint32 window) {
    const QStringList hints =
        runTool(display, QStringLiteral("xprop"), {"-id", QString::number(window), "WM_NORMAL_HINTS"})
            .value_or(QStringList());
    const QRegularExpressionMatch minimum =
        QRegularExpression(QStringLiteral("minimum size: (\\d+) by (\\d+)")).match(hints.join(QLatin1Char('\n')));
    return minimum.hasMatch() ? QSize(minimum.captured(1).toInt(), minimum.captured(2).toInt()) : QSize();
}

QRect windowGeometry(const QString &display, quint32 window) {
    QMap<QString, int> values; // X, Y, WIDTH, HEIGHT
    for (const QString &line : xdotool(display, {"getwindowgeometry", "--shell", QString::number(window)}))
        values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
    if (!values.contains(QStringLiteral("WIDTH")))
        return QRect();
    return QRect(values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
                 values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT")));
}

// The helper is no part of the program under test: its leaks are not looked for.
QImage grabWindow(const QString &display, quint32 window) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("window.png"));
    const QStringList environment = {"QT_QPA_PLATFORM=xcb", "QT_XCB_GL_INTEGRATION=none",
                                     "ASAN_OPTIONS=detect_leaks=0"};
    if (!runTool(display, QStringLiteral(ZEVR_XGRAB_PATH), {QString::number(window), file}, environment))
        return QImage();
    return QImage(file);
}

bool waitUntil(int timeoutMs, const std::function<bool()> &condition) {
    QElapsedTimer clock;
    clock.start();
    while (!clock.hasExpired(timeoutMs)) {
        if (condition())
            return true;
        QEventLoop loop;
        QTimer::singleShot(50, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}

ProgramUnderX::ProgramUnderX(const QString &display, const QString &workDir, const QString &runtimeDir,
                             const QString &program, const QStringList &extraEnvironment)
    : m_display(display) {
    QProcessEnvironment env = programEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
    // Off any session bus; libdbus would otherwise try to autolaunch one through the X server and leak a buffer,
    // which the sanitizer build reports as a failed exit.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + runtimeDir + "/no-session-bus");
    // The program draws nothing with OpenGL, but the xcb platform sets up GLX for every window when a GL driver is
    // installed, and Mesa keeps a buffer of that set-up for the life of the process: the leak checker of a
    // sanitizer build would report it, and the exit code with it, on any machine that has Mesa.
    env.insert(QStringLiteral("QT_XCB_GL_INTEGRATION"), QStringLiteral("none"));
    m_process.setEnvironment(env.toStringList() + extraEnvironment); // a later assignment wins
    m_process.setWorkingDirectory(workDir);
    // The sanitizer reports go to the test log.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start(program, QStringList());
}

quint32 ProgramUnderX::waitForWindow(const QString &title) {
    quint32 found = 0;
    m_process.waitForStarted(toolTimeoutMs);
    waitUntil(startTimeoutMs, [&] {
        if (!isRunning())
            return true;
        for (const QString &id : visibleWindows()) {
            if (xdotool(m_display, {"getwindowname", id}).value(0) == title)
                found = id.toUInt();
        }
        return found != 0;
    });
    return found;
}

// Without a window manager the copies' windows overlap, so the window is raised first.
bool ProgramUnderX::chooseFromMenu(quint32 window, const QStringList &keys) {
    const QString id = QString::number(window);
    xdotool(m_display, {"windowraise", id, "mousemove", "--window", id, "20", "10", "click", "1"});
    if (!waitUntil(toolTimeoutMs, [this] { return !isRunning() || visibleWindows().size() >= 2; }) || !isRunning())
        return false;
    xdotool(m_display, QStringList{"key"} + keys);
    return true;
}

void ProgramUnderX::pressKeys(quint32 window, const QStringList &keys) {
    xdotool(m_display, QStringList{"windowfocus", "--sync", QString::number(window), "key"} + keys);
}

int ProgramUnderX::waitForExit() {
    const bool ended = m_process.waitForFinished(exitTimeoutMs) && m_process.exitStatus() == QProcess::NormalExit;
    return ended ? m_process.exitCode() : -1;
}

QStringList ProgramUnderX::visibleWindows() const {
    return xdotool(m_display, {"search", "--onlyvisible", "--pid", QString::number(m_process.processId())});
}
