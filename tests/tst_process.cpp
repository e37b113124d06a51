// Runs the built program as the operator would, on a private X server, and drives it from outside.

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

const QString windowTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");
const int startTimeoutMs = 60000; // a sanitizer build on two busy cores starts slowly
const int exitTimeoutMs = 20000;
const int toolTimeoutMs = 10000;

// Lets the event loop run for a moment without QTest::qWait's sleep slices.
void pause(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// How the lock file looks to another process: can it take it exclusively, or at least shared?
struct LockView {
    bool exclusive = false;
    bool shared = false;
};

LockView lockView(const QString &path) {
    LockView view;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return view;
    view.exclusive = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::flock(fd, LOCK_UN);
    view.shared = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    ::flock(fd, LOCK_UN);
    ::close(fd);
    return view;
}

QStringList xdotool(const QByteArray &display, const QStringList &arguments) {
    QProcess tool;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
    tool.setProcessEnvironment(env);
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(toolTimeoutMs)) {
        tool.kill();
        tool.waitForFinished(1000);
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// A private Xvfb; it picks a free display itself and tells us which once it accepts clients.
class XServer {
public:
    ~XServer() { stop(); }

    bool start() {
        // -noreset: without it the server resets whenever its last client leaves, and refuses the next one
        // for that moment.
        const QStringList arguments = {"-displayfd", "1",       "-nolisten", "tcp",
                                       "-noreset",   "-screen", "0",         "1024x768x24"};
        m_process.start(QStringLiteral("Xvfb"), arguments);
        if (!m_process.waitForStarted(toolTimeoutMs))
            return false;
        QElapsedTimer clock;
        clock.start();
        while (!m_process.canReadLine() && m_process.state() == QProcess::Running && !clock.hasExpired(toolTimeoutMs))
            m_process.waitForReadyRead(500);
        const QByteArray number = m_process.readLine().trimmed();
        if (number.isEmpty())
            return false;
        m_display = ':' + number;
        return true;
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }

    QByteArray display() const { return m_display; }

private:
    QProcess m_process;
    QByteArray m_display;
};

// Sends the window manager's close request (WM_DELETE_WINDOW), as a title bar's close button does.
// libxcb is loaded at run time: the test needs only its header, and the X server is private anyway.
bool sendCloseRequest(const QByteArray &display, quint32 window) {
    void *xcb = dlopen("libxcb.so.1", RTLD_NOW | RTLD_LOCAL);
    if (!xcb)
        return false;
    const auto connect = reinterpret_cast<decltype(&xcb_connect)>(dlsym(xcb, "xcb_connect"));
    const auto hasError = reinterpret_cast<decltype(&xcb_connection_has_error)>(dlsym(xcb, "xcb_connection_has_error"));
    const auto internAtom = reinterpret_cast<decltype(&xcb_intern_atom)>(dlsym(xcb, "xcb_intern_atom"));
    const auto atomReply = reinterpret_cast<decltype(&xcb_intern_atom_reply)>(dlsym(xcb, "xcb_intern_atom_reply"));
    const auto sendEvent = reinterpret_cast<decltype(&xcb_send_event_checked)>(dlsym(xcb, "xcb_send_event_checked"));
    const auto requestCheck = reinterpret_cast<decltype(&xcb_request_check)>(dlsym(xcb, "xcb_request_check"));
    const auto disconnect = reinterpret_cast<decltype(&xcb_disconnect)>(dlsym(xcb, "xcb_disconnect"));
    bool sent = false;
    if (connect && hasError && internAtom && atomReply && sendEvent && requestCheck && disconnect) {
        xcb_connection_t *c = connect(display.constData(), nullptr);
        if (!hasError(c)) {
            auto atom = [&](const char *name) {
                xcb_intern_atom_reply_t *reply = atomReply(c, internAtom(c, 0, quint16(qstrlen(name)), name), nullptr);
                const xcb_atom_t value = reply ? reply->atom : XCB_ATOM_NONE;
                free(reply);
                return value;
            };
            xcb_client_message_event_t event = {};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 32;
            event.window = window;
            event.type = atom("WM_PROTOCOLS");
            event.data.data32[0] = atom("WM_DELETE_WINDOW");
            event.data.data32[1] = XCB_CURRENT_TIME;
            if (event.type != XCB_ATOM_NONE && event.data.data32[0] != XCB_ATOM_NONE) {
                // A round trip before disconnecting: requests still in flight when the connection
                // closes may be dropped, and then the close request never arrives.
                xcb_generic_error_t *error = requestCheck(
                    c, sendEvent(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event)));
                sent = !error;
                free(error);
            }
        }
        disconnect(c);
    }
    dlclose(xcb);
    return sent;
}

// One copy of the program on the private display.
class Program {
public:
    Program(const QByteArray &display, const QString &workDir, const QString &runtimeDir) : m_display(display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir);
        // A bus that is not there: the copies stay off the machine's session bus, and libdbus does not try
        // to autolaunch one through the X server (that attempt leaks a buffer, which the sanitizer build
        // reports as a failed exit).
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + runtimeDir + QStringLiteral("/no-session-bus"));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(workDir);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        m_process.start(QStringLiteral(ZEVR_PROGRAM_PATH), QStringList());
    }

    ~Program() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // xdotool's output for the program's mapped windows, or empty after a time-out.
    QStringList visibleWindows() const {
        return xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                        QString::number(m_process.processId())});
    }

    // The main window's id once it is mapped; 0 if the program died or took too long.
    quint32 waitForMainWindow() {
        if (!m_process.waitForStarted(toolTimeoutMs))
            return 0;
        QElapsedTimer clock;
        clock.start();
        while (isRunning() && !clock.hasExpired(startTimeoutMs)) {
            for (const QString &id : visibleWindows())
                if (windowName(id.toUInt()) == windowTitle)
                    return id.toUInt();
            pause(100);
        }
        return 0;
    }

    // Waits for a second mapped window of the program: the menu that has just opened.
    bool waitForPopup() {
        QElapsedTimer clock;
        clock.start();
        while (isRunning() && !clock.hasExpired(toolTimeoutMs)) {
            if (visibleWindows().size() >= 2)
                return true;
            pause(50);
        }
        return false;
    }

    QString windowName(quint32 window) const {
        const QStringList name = xdotool({QStringLiteral("getwindowname"), QString::number(window)});
        return name.value(0);
    }

    bool waitForExit(int *code) {
        if (!m_process.waitForFinished(exitTimeoutMs) || m_process.exitStatus() != QProcess::NormalExit)
            return false;
        *code = m_process.exitCode();
        return true;
    }

    QStringList xdotool(const QStringList &arguments) const { return ::xdotool(m_display, arguments); }

private:
    QByteArray m_display;
    QProcess m_process;
};

} // namespace

class tst_process : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void firstStartInEmptyDirectory();
    void endsWithExitCodeZero_data();
    void endsWithExitCodeZero();
    void secondCopyRunsSideBySide();

private:
    std::unique_ptr<Program> startProgram(const QString &workDir);
    bool chooseExit(Program &program, quint32 window);
    QString lockPath() const { return m_runtimeDir.filePath(QStringLiteral("ZEVR3GMutex")); }

    XServer m_server;
    QTemporaryDir m_runtimeDir; // private, so no other run's copies hold our lock
};

void tst_process::initTestCase() {
    QVERIFY(m_runtimeDir.isValid());
    QVERIFY2(m_server.start(), "Xvfb did not start; scripts/test.sh installs the package xvfb");
    QVERIFY2(!xdotool(m_server.display(), {QStringLiteral("getdisplaygeometry")}).isEmpty(),
             "xdotool cannot reach the X server");
}

void tst_process::cleanup() {
    // Every test ends its own copies; anything left means that test failed, and its Program kills it.
    QVERIFY(lockView(lockPath()).exclusive || !QFile::exists(lockPath()));
}

std::unique_ptr<Program> tst_process::startProgram(const QString &workDir) {
    return std::make_unique<Program>(m_server.display(), workDir, m_runtimeDir.path());
}

// "Файл" is the first entry of the menu bar and "Выход" the second entry of its menu.
bool tst_process::chooseExit(Program &program, quint32 window) {
    program.xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), QString::number(window),
                     QStringLiteral("20"), QStringLiteral("10"), QStringLiteral("click"), QStringLiteral("1")});
    if (!program.waitForPopup())
        return false;
    program.xdotool({QStringLiteral("key"), QStringLiteral("Down"), QStringLiteral("Down"), QStringLiteral("Return")});
    return true;
}

void tst_process::firstStartInEmptyDirectory() {
    QTemporaryDir workDir;
    auto program = startProgram(workDir.path());
    const quint32 window = program->waitForMainWindow();
    QVERIFY2(window, "no main window with the program's title");
    QCOMPARE(program->windowName(window), windowTitle);
    const QDir dir(workDir.path());
    QVERIFY2(QFileInfo(dir.filePath(QStringLiteral("settings.ini"))).size() > 0, "no settings file at first start");
    QVERIFY2(QFileInfo(dir.filePath(QStringLiteral("LOGS_ZEVR_3G_Config"))).isDir(), "no log folder at first start");

    const LockView lock = lockView(lockPath());
    QVERIFY2(!lock.exclusive, "the running copy does not hold the instance lock");
    QVERIFY2(lock.shared, "the instance lock is held exclusively, so a second copy could not hold it too");

    QVERIFY2(chooseExit(*program, window), "the menu \"Файл\" did not open");
    int code = -1;
    QVERIFY2(program->waitForExit(&code), "the program did not end after \"Выход\"");
    QCOMPARE(code, 0);
    QVERIFY2(lockView(lockPath()).exclusive, "the instance lock outlived the program");
}

void tst_process::endsWithExitCodeZero_data() {
    QTest::addColumn<bool>("throughMenu");
    QTest::newRow("menu Файл, Выход") << true;
    QTest::newRow("window closed") << false;
}

void tst_process::endsWithExitCodeZero() {
    QFETCH(bool, throughMenu);
    QTemporaryDir workDir;
    auto program = startProgram(workDir.path());
    const quint32 window = program->waitForMainWindow();
    QVERIFY(window);
    if (throughMenu)
        QVERIFY2(chooseExit(*program, window), "the menu \"Файл\" did not open");
    else
        QVERIFY(sendCloseRequest(m_server.display(), window));
    int code = -1;
    QVERIFY2(program->waitForExit(&code), "the program did not end");
    QCOMPARE(code, 0);
}

// A second copy is neither refused nor does it disturb the first; both mark the lock while they run.
void tst_process::secondCopyRunsSideBySide() {
    QTemporaryDir workDir;
    auto first = startProgram(workDir.path());
    const quint32 firstWindow = first->waitForMainWindow();
    QVERIFY(firstWindow);
    auto second = startProgram(workDir.path());
    const quint32 secondWindow = second->waitForMainWindow();
    QVERIFY2(secondWindow, "the second copy shows no main window");
    QVERIFY(first->isRunning());
    QVERIFY(secondWindow != firstWindow);

    int code = -1;
    QVERIFY(sendCloseRequest(m_server.display(), firstWindow));
    QVERIFY(first->waitForExit(&code));
    QCOMPARE(code, 0);
    QVERIFY(second->isRunning());
    QVERIFY2(!lockView(lockPath()).exclusive, "the second copy does not hold the instance lock");

    QVERIFY(sendCloseRequest(m_server.display(), secondWindow));
    QVERIFY(second->waitForExit(&code));
    QCOMPARE(code, 0);
    QVERIFY(lockView(lockPath()).exclusive);
}

QTEST_MAIN(tst_process)
#include "tst_process.moc"
