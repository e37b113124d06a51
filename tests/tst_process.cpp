// Runs the built program as the operator would, on a private X server, and drives it from outside.

#include "support/xsession.h"

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
    void initTestCase();
    void twoCopiesSideBySide();

private:
    QString lockPath() const { return m_runtimeDir.filePath(QStringLiteral("ZEVR3GMutex")); }

    QTemporaryDir m_runtimeDir; // private, so no other run's copies hold our lock
    XServer m_x;
};

void tst_process::initTestCase() {
    QVERIFY(m_runtimeDir.isValid());
    QVERIFY2(m_x.isValid(), "Xvfb did not start; scripts/test.sh installs the package xvfb");
    QVERIFY2(!xdotool(m_x.display(), {"getdisplaygeometry"}).isEmpty(), "xdotool cannot reach the X server");
}

// The first copy starts in an empty directory; a second copy is neither refused nor does it disturb the first.
void tst_process::twoCopiesSideBySide() {
    QTemporaryDir workDir;
    ProgramUnderX first(m_x.display(), workDir.path(), m_runtimeDir.path());
    const quint32 firstWindow = first.waitForWindow(windowTitle);
    QVERIFY2(firstWindow, "no main window with the program's title");
    const QDir dir(workDir.path());
    QVERIFY2(QFileInfo(dir.filePath("settings.ini")).size() > 0, "no settings file at first start");
    QVERIFY2(QFileInfo(dir.filePath("LOGS_ZEVR_3G_Config")).isDir(), "no log folder at first start");
    QVERIFY2(!canLock(lockPath(), LOCK_EX), "the running copy does not hold the instance lock");
    QVERIFY2(canLock(lockPath(), LOCK_SH), "the instance lock is exclusive, so a second copy could not hold it");

    ProgramUnderX second(m_x.display(), workDir.path(), m_runtimeDir.path());
    const quint32 secondWindow = second.waitForWindow(windowTitle);
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
