// Runs the built program as the operator would, on a private X server, and drives it from outside.

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString windowTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");
const int startTimeoutMs = 60000; // a sanitizer build on two busy cores starts slowly
const int exitTimeoutMs = 20000;
const int toolTimeoutMs = 10000;

// Whether another process could take the lock file with `operation` (LOCK_EX or LOCK_SH) now.
bool canLock(const QString &path, int operation) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, operation | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

QStringList xdotool(const QString &display, const QStringList &arguments) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display);
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(toolTimeoutMs))
        return {}; // ~QProcess kills it
    return QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// One copy of the program on the private display; killed if a test leaves it running.
class Program {
public:
    Program(const QString &display, const QString &workDir, const QString &runtimeDir) : m_display(display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), display);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        // Off the machine's session bus; libdbus would otherwise try to autolaunch one through the X server and
        // leak a buffer, which the sanitizer build reports as a failed exit.
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), "unix:path=" + runtimeDir + "/no-session-bus");
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(workDir);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QStringLiteral(ZEVR_PROGRAM_PATH), QStringList());
    }

    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // The main window's id once it is mapped with the program's title; 0 if the program died or took too long.
    quint32 waitForMainWindow() {
        quint32 found = 0;
        m_process.waitForStarted(toolTimeoutMs);
        waitUntil(startTimeoutMs, [&] {
            for (const QString &id : visibleWindows()) {
                if (xdotool(m_display, {"getwindowname", id}).value(0) == windowTitle)
                    found = id.toUInt();
            }
            return found != 0;
        });
        return found;
    }

    // "Файл" is the first entry of the menu bar and "Выход" the second entry of its menu. Without a window manager
    // the copies' windows overlap, so the window is raised first.
    bool chooseExit(quint32 window) {
        const QString id = QString::number(window);
        xdotool(m_display, {"windowraise", id, "mousemove", "--window", id, "20", "10", "click", "1"});
        if (!waitUntil(toolTimeoutMs, [this] { return visibleWindows().size() >= 2; }))
            return false;
        xdotool(m_display, {"key", "Down", "Down", "Return"});
        return true;
    }

    // The exit code, or -1 when the program did not end by itself.
    int waitForExit() {
        const bool ended = m_process.waitForFinished(exitTimeoutMs) && m_process.exitStatus() == QProcess::NormalExit;
        return ended ? m_process.exitCode() : -1;
    }

private:
    QStringList visibleWindows() const {
        return xdotool(m_display, {"search", "--onlyvisible", "--pid", QString::number(m_process.processId())});
    }

    template <typename Condition> bool waitUntil(int timeoutMs, Condition condition) {
        QElapsedTimer clock;
        clock.start();
        while (isRunning() && !clock.hasExpired(timeoutMs)) {
            if (condition())
                return true;
            QEventLoop loop;
            QTimer::singleShot(50, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return false;
    }

    QString m_display;
    QProcess m_process;
};

} // namespace

class tst_process : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void twoCopiesSideBySide();

private:
    QString lockPath() const { return m_runtimeDir.filePath(QStringLiteral("ZEVR3GMutex")); }

    QTemporaryDir m_runtimeDir; // private, so no other run's copies hold our lock
    QProcess m_xvfb;
    QString m_display;
};

void tst_process::initTestCase() {
    QVERIFY(m_runtimeDir.isValid());
    // -noreset: otherwise the server resets when its last client leaves and refuses the next one meanwhile.
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {"-displayfd", "1", "-nolisten", "tcp", "-noreset", "-screen", "0", "1024x768x24"});
    m_xvfb.waitForReadyRead(toolTimeoutMs); // the display number, once the server accepts clients
    m_display = ':' + QString::fromLatin1(m_xvfb.readLine().trimmed());
    QVERIFY2(m_display.size() > 1, "Xvfb did not start; scripts/test.sh installs the package xvfb");
    QVERIFY2(!xdotool(m_display, {"getdisplaygeometry"}).isEmpty(), "xdotool cannot reach the X server");
}

void tst_process::cleanupTestCase() {
    m_xvfb.terminate(); // lets Xvfb remove its lock file and socket
    m_xvfb.waitForFinished(3000);
}

// The first copy starts in an empty directory; a second copy is neither refused nor does it disturb the first.
void tst_process::twoCopiesSideBySide() {
    QTemporaryDir workDir;
    Program first(m_display, workDir.path(), m_runtimeDir.path());
    const quint32 firstWindow = first.waitForMainWindow();
    QVERIFY2(firstWindow, "no main window with the program's title");
    const QDir dir(workDir.path());
    QVERIFY2(QFileInfo(dir.filePath("settings.ini")).size() > 0, "no settings file at first start");
    QVERIFY2(QFileInfo(dir.filePath("LOGS_ZEVR_3G_Config")).isDir(), "no log folder at first start");
    QVERIFY2(!canLock(lockPath(), LOCK_EX), "the running copy does not hold the instance lock");
    QVERIFY2(canLock(lockPath(), LOCK_SH), "the instance lock is exclusive, so a second copy could not hold it");

    Program second(m_display, workDir.path(), m_runtimeDir.path());
    const quint32 secondWindow = second.waitForMainWindow();
    QVERIFY2(secondWindow, "the second copy shows no main window");
    QVERIFY2(first.isRunning(), "the second copy ended the first");
    QVERIFY2(first.chooseExit(firstWindow), "the menu \"Файл\" did not open");
    QCOMPARE(first.waitForExit(), 0);
    QVERIFY2(!canLock(lockPath(), LOCK_EX), "the second copy does not hold the instance lock");
    QVERIFY2(second.chooseExit(secondWindow), "the menu \"Файл\" did not open");
    QCOMPARE(second.waitForExit(), 0);
    QVERIFY2(canLock(lockPath(), LOCK_EX), "the instance lock outlived the program");
}

QTEST_GUILESS_MAIN(tst_process)
#include "tst_process.moc"
