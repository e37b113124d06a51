#include "support/settingstestsupport.h"

#include <QFileSystemWatcher>
#include <QProcess>
#include <QtTest>

// Runs the real program in an empty directory: before its window is up it must have written the default
// settings file and made the log folder.
class tst_settingsstartup : public QObject {
    Q_OBJECT

private slots:
    void firstStartWritesDefaults();
};

void tst_settingsstartup::firstStartWritesDefaults() {
    ScopedWorkDir dir;
    QVERIFY(dir.isValid());
    QFileSystemWatcher watcher{QStringList{dir.path()}};
    QSignalSpy changed(&watcher, &QFileSystemWatcher::directoryChanged);

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(dir.path());
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(ZEVR_PROGRAM_PATH), QStringList());
    QVERIFY(program.waitForStarted());

    // The file is put in place by a rename, so once it is there it is complete.
    QElapsedTimer timer;
    timer.start();
    while (!QFileInfo::exists(QStringLiteral("settings.ini")) && timer.elapsed() < 60000 &&
           program.state() == QProcess::Running)
        changed.wait(1000);
    const bool stillRunning = program.state() == QProcess::Running;
    program.kill();
    program.waitForFinished();

    QVERIFY(stillRunning);
    QCOMPARE(readFileBytes(QStringLiteral("settings.ini")),
             QByteArray("COM Log\r\n1\r\nCOM Port\r\n\r\nBaudRate\r\n115200\r\nParity\r\nnone\r\n"
                        "Lenght\r\n8 bit\r\nStop Bit\r\n1 bit\r\nCOM Auto\r\ntrue\r\n"));
    QVERIFY(QFileInfo(QStringLiteral("LOGS_ZEVR_3G_Config")).isDir());
}

QTEST_GUILESS_MAIN(tst_settingsstartup)
#include "tst_settingsstartup.moc"
