// Runs the built program as the operator would, on a private X server, and drives it from outside.

#include "support/settingstestsupport.h"
#include "support/xsession.h"
#include "tools/zevr-sim/simprocess.h"
#include "workfiles/settingsfile.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

const QString windowTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");

// Whether another process could take the lock file with `operation` (LOCK_EX or LOCK_SH) now.
bool canLock(const QString &path, int operation) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    const bool locked = fd >= 0 && ::flock(fd, operation | LOCK_NB) == 0;
    if (fd >= 0)
        ::close(fd);
    return locked;
}

} // namespace

class tst_process : public QObject {
    Q_OBJECT
private slots:
    // The first copy starts in an empty directory and writes the default settings. A second copy, in a directory with
    // stored settings, is neither refused nor does it disturb the first; it shows the program as started: settings.ini
    // reaches the worker, the log switch is read, and the worker's reports reach the status bar and, through it, the
    // log. The simulated controller sees the line as the settings set it up.
    void twoCopiesOneSending() {
        QTemporaryDir runtimeDir; // private, so no other run's copies hold our lock
        const QString lockPath = runtimeDir.filePath(QStringLiteral("ZEVR3GMutex"));
        XServer x;
        QVERIFY2(x.isValid(), "Xvfb did not start; scripts/test.sh installs the package xvfb");
        QVERIFY2(!xdotool(x.display(), {"getdisplaygeometry"}).isEmpty(), "xdotool cannot reach the X server");
        QTemporaryDir firstDir;
        ProgramUnderX first(x.display(), firstDir.path(), runtimeDir.path());
        const quint32 firstWindow = first.waitForWindow(windowTitle);
        QVERIFY2(firstWindow, "no main window with the program's title");
        QCOMPARE(readFileBytes(QDir(firstDir.path()).filePath("settings.ini")), defaultSettingsContent());
        QVERIFY2(hasWindowIcon(x.display(), firstWindow), "the window offers no icon for the task bar");
        const auto ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
        QVERIFY2(!canLock(lockPath, LOCK_EX) && QFile::permissions(lockPath) == ownerOnly, "no private instance lock");

        SimProcess sim;
        QString error;
        QVERIFY2(sim.start(QStringLiteral(ZEVR_BINARY_DIR "/tools/zevr-sim/zevr-sim"), {}, &error), qPrintable(error));
        const QString port = sim.path().mid(5); // "pts/N", as the system would name the port
        QTemporaryDir workDir;
        const QDir dir(workDir.path());
        QVERIFY(writeFileBytes(dir.filePath("settings.ini"),
                               "COM Log\r\n1\r\nCOM Port\r\n" + port.toLatin1() +
                                   "\r\nBaudRate\r\n9600\r\nParity\r\nodd\r\nLenght\r\n7 bit\r\n"
                                   "Stop Bit\r\n2 bit\r\nCOM Auto\r\nfalse\r\n"));
        ProgramUnderX program(x.display(), workDir.path(), runtimeDir.path());
        const quint32 window = program.waitForWindow(windowTitle);
        QVERIFY2(window, "the second copy shows no main window");
        QVERIFY2(first.isRunning(), "the second copy ended the first");

        const QRect geometry = windowGeometry(x.display(), window);
        QVERIFY(geometry.isValid());
        // The style sheet's grey face, in the margin left of the tabs.
        QVERIFY2(waitUntil(5000,
                           [&] {
                               return grabWindow(x.display(), window).pixel(3, geometry.height() / 2) ==
                                      qRgb(205, 205, 205);
                           }),
                 "the window does not wear the style sheet");
        const auto events = [&sim](const char *kind) {
            QVector<QJsonObject> found;
            std::copy_if(sim.events().cbegin(), sim.events().cend(), std::back_inserter(found),
                         [kind](const QJsonObject &event) { return event.value("event") == QLatin1String(kind); });
            return found;
        };
        // "Отправить" ends the station tab at its bottom right, just above the status bar: clicks try the heights
        // around it, from where it usually is outwards, until one reaches it. What else they may hit there is blank or
        // disabled at start.
        for (int up : {60, 52, 68, 44, 76, 36, 84, 92, 100}) {
            xdotool(x.display(),
                    {"mousemove", "--window", QString::number(window), QString::number(geometry.width() - 40),
                     QString::number(geometry.height() - up), "click", "1"});
            if (waitUntil(3000, [&] { return !events("probe").isEmpty(); }))
                break;
        }
        QVERIFY2(waitUntil(5000, [&] { return !events("command").isEmpty(); }), "the controller received no command");
        QCOMPARE(events("command").first().value("hex").toString(), QStringLiteral("434D44770000000000"));
        // The stored settings on the line itself, as far as a pseudo-terminal keeps them: the report could be right
        // while the port was opened with the worker's defaults.
        const QJsonObject line = events("probe").first().value("line").toObject();
        QCOMPARE(line.value("baud").toInt(), 9600);
        QCOMPARE(line.value("stop_bits").toInt(), 2);
        QVERIFY(line.value("parity_odd").toBool());
        const QStringList reports = {"Открыт " + port + "-9600-7-3-2-Нет", "Обнаружено устройство",
                                     "Отправка сообщения", "Отправлено. " + port + " закрыт"};
        QByteArray expected;
        for (const QString &report : reports)
            expected += ":    " + report.toLocal8Bit() + "\r\n";
        const auto logged = [&dir] {
            const QStringList files = QDir(dir.filePath("LOGS_ZEVR_3G_Config")).entryList(QDir::Files);
            QByteArray messages; // without the 19 characters of each line's time
            for (const QByteArray &line :
                 readFileBytes(dir.filePath("LOGS_ZEVR_3G_Config/" + files.value(0))).split('\n'))
                messages += line.isEmpty() ? QByteArray() : line.mid(19) + '\n';
            return files.size() == 1 ? messages : QByteArray::number(files.size()) + " log files";
        };
        waitUntil(5000, [&] { return logged() == expected; });
        QCOMPARE(logged(), expected);
        QCOMPARE(events("probe").size(), 1);
        QVERIFY2(first.chooseExit(firstWindow), "the menu \"Файл\" did not open");
        QCOMPARE(first.waitForExit(), 0);
        QVERIFY2(!canLock(lockPath, LOCK_EX), "the second copy does not hold the instance lock");
        QVERIFY2(program.chooseExit(window), "the menu \"Файл\" did not open");
        QCOMPARE(program.waitForExit(), 0);
        QVERIFY2(canLock(lockPath, LOCK_EX), "the instance lock outlived the program");
    }
};

QTEST_GUILESS_MAIN(tst_process)
#include "tst_process.moc"
