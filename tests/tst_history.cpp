#include "mainwindow/mainwindow.h"
#include "protocol/commanddescription.h"
#include "serial/portdiagnosis.h"
#include "serial/portlist.h"
#include "serial/transmissionjournal.h"
#include "support/ptypair.h"

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

const char *const formRecord = "000001011141000004D20000";

const QDateTime noon(QDate(2026, 12, 6), QTime(12, 0, 5));

// A worker, its journal on a fixed clock, and the line's devices.
struct Link {
    Link() {
        journal.setClock([] { return noon; });
        worker.com_auto = false;
    }
    bool waitUntilIdle(int timeoutMs) {
        QSignalSpy spy(&journal, &TransmissionJournal::unfinishedCountChanged);
        const QDeadlineTimer deadline(timeoutMs);
        while (journal.unfinishedCount() > 0 && spy.wait(int(deadline.remainingTime()))) {
        }
        return journal.unfinishedCount() == 0;
    }
    QString rows() const {
        QList<int> all;
        for (int row = 0; row < journal.rowCount(); ++row)
            all << row;
        return journal.rowsText(all);
    }

    SerialThread worker;
    TransmissionJournal journal{&worker};
};

// A lock file as QSerialPort writes one, naming a program that is alive: the port counts as taken.
bool lockPortFor(const QString &device, qint64 pid, const QString &program) {
    QFile lock(QStringLiteral("/var/lock/LCK..") + device.mid(5).replace('/', '_'));
    return lock.open(QIODevice::WriteOnly) &&
           lock.write(QStringLiteral("%1\n%2\n%3\n").arg(pid).arg(program, QSysInfo::machineHostName()).toUtf8()) > 0;
}

} // namespace

// What the transmission history says about a command, decoded from the bytes of the controller's command
// descriptions, not from the encoder that shares the module.
class tst_history : public QObject {
    Q_OBJECT

private slots:
    void describesCommands_data();
    void describesCommands();
    void rowOfEachCommand_data();
    void rowOfEachCommand();
    void reasonsOfFailedAttempts();
    void portHeldByAnotherProgram();
    void missingPermission_data();
    void missingPermission();
    void missingDeviceWhateverTheError();
    void cancelDropsTheQueue();
    void windowShowsBusyAndCancels();
    void copyTakesRowsInOrder();
};

void tst_history::describesCommands_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("words");
    const QString form = QStringLiteral("СМ нет, 01/01/2017, код A, № 1234");

    QTest::newRow("w, no unit") << bytes("434D4477 00 00000000") << "w одноканальная, без БУ";
    QTest::newRow("w, unit 1") << bytes("434D4477 01 6F 00000000") << "w одноканальная: БУ1 111 GSM/RS-485";
    QTest::newRow("w, unit 2 analog") << bytes("434D4477 03 6F7071 00000002")
                                      << "w одноканальная: БУ1 111 GSM/RS-485, БУ2 112 4-20 мА, БУ3 113 GSM/RS-485";
    QTest::newRow("w, eight analog")
        << bytes("434D4477 08 6F70717273747576 000000FF")
        << "w одноканальная: БУ1 111 4-20 мА, БУ2 112 4-20 мА, БУ3 113 4-20 мА, БУ4 114 4-20 мА, БУ5 115 4-20 мА, "
           "БУ6 116 4-20 мА, БУ7 117 4-20 мА, БУ8 118 4-20 мА";
    QTest::newRow("x, form") << bytes("434D4478") + bytes(formRecord) + bytes(formRecord) + bytes(formRecord) +
                                    bytes(formRecord)
                             << QStringLiteral("x многоканальная: к1 %1; к2 %1; к3 %1; к4 %1").arg(form);
    // The second record carries the serial number's low 16 bits alone, and the history says what the bytes say.
    QTest::newRow("x, two channels") << bytes("434D4478 01020F0610420001869F3000 02020F061042000086 9F4000") +
                                            bytes(formRecord) + bytes(formRecord)
                                     << QStringLiteral("x многоканальная: к1 СМ 1,3, 15/06/2016, код B, № 99999; "
                                                       "к2 СМ 2,4, 15/06/2016, код B, № 34463; к3 %1; к4 %1")
                                            .arg(form);
    QTest::newRow("y, form") << bytes("434D4479 000000 010111") << "y 00:00:00 01/01/2017";
    QTest::newRow("y") << bytes("434D4479 173B3B 1F0C63") << "y 23:59:59 31/12/2099";
    QTest::newRow("y, as typed") << bytes("434D4479 636363 6363FF") << "y 99:99:99 99/99/2255";
    QTest::newRow("z, none") << bytes("434D447A 00 00000000 0000") << "z счетчик не подключен";
    QTest::newRow("z, pulse, form") << bytes("434D447A 01 00000000 0140")
                                    << "z импульсный счетчик, 0.0 кВт*ч, 3200 имп./кВт*ч";
    QTest::newRow("z, 1234567.7") << bytes("434D447A 01 00BC614D 0140")
                                  << "z импульсный счетчик, 1234567.7 кВт*ч, 3200 имп./кВт*ч";
    QTest::newRow("z, 9999") << bytes("434D447A 01 05F5E100 270F")
                             << "z импульсный счетчик, 10000000.0 кВт*ч, 99990 имп./кВт*ч";
    QTest::newRow("z, RS485") << bytes("434D447A 02 00000000 0000") << "z счетчик с выходом RS485";
    QTest::newRow("probe") << QByteArray("ZEVR-3G-Config") << "не команда контроллера, 14 байт";
    QTest::newRow("y cut short") << bytes("434D4479 173B3B 1F0C") << "не команда контроллера, 9 байт";
}

void tst_history::describesCommands() {
    QFETCH(QByteArray, command);
    QFETCH(QString, words);
    QCOMPARE(describeCommand(command), words);
}

void tst_history::rowOfEachCommand_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("w") << bytes("434D4477 03 6F7071 00000002");
    QTest::newRow("x") << bytes("434D4478") + bytes(formRecord) + bytes(formRecord) + bytes(formRecord) +
                              bytes(formRecord);
    QTest::newRow("y") << bytes("434D4479 173B3B 1F0C63");
    QTest::newRow("z") << bytes("434D447A 01 00003039 0140");
}

// A command that goes out has one row: the time it was handed over, the command in words, the port, the outcome
// and the bytes the controller received.
void tst_history::rowOfEachCommand() {
    QFETCH(QByteArray, command);
    PtyPair device;
    device.answerEachProbe("ZEVR-3G");
    Link link;
    link.worker.com_port = device.portName();
    link.worker.slot_data_send(command);
    QVERIFY(link.waitUntilIdle(5000));
    QVERIFY(device.waitForReceived(14 + command.size(), 2000));
    QCOMPARE(device.received().mid(14).toHex(), command.toHex());
    QCOMPARE(link.rows(), QStringList({"12:00:05", describeCommand(command), device.portName(),
                                       device.portName() + ": отправлено", hexBytes(device.received().mid(14))})
                              .join('\t'));
}

// What the status bar cannot say: why each port of a search failed.
void tst_history::reasonsOfFailedAttempts() {
    PtyPair silent, answering;
    answering.answerEachProbe("ZEVR-3G");
    const QStringList ports = {"zevr-no-such-port", silent.portName(), answering.portName()};
    setPortLister([ports] { return ports; });
    Link link;
    link.worker.com_auto = true;
    const QByteArray command = bytes("434D4479 000000 010111");
    link.worker.slot_data_send(command);
    setPortLister([] { return QStringList(); });
    link.worker.slot_data_send(command);
    QVERIFY(link.waitUntilIdle(6000));
    setPortLister(nullptr);
    const QString row = "12:00:05\ty 00:00:00 01/01/2017\t%1\t%2\t43 4D 44 79 00 00 00 01 01 11";
    QCOMPARE(link.rows().split('\n'),
             QStringList({row.arg(ports.join(", "), "zevr-no-such-port: не открыт: нет такого устройства "
                                                    "/dev/zevr-no-such-port; " +
                                                        ports[1] + ": нет ответа; " + ports[2] + ": отправлено"),
                          row.arg("", "в системе нет портов")}));
}

void tst_history::portHeldByAnotherProgram() {
    PtyPair device;
    QProcess holder;
    holder.start("sleep", {"30"});
    QVERIFY(holder.waitForStarted());
    const qint64 pid = holder.processId();
    const QString lockFile = "/var/lock/LCK.." + device.portName().replace('/', '_');
    QVERIFY(lockPortFor(device.path(), pid, "sleep"));
    Link link;
    link.worker.com_port = device.portName();
    link.worker.slot_data_send(bytes("434D4479 000000 010111"));
    QVERIFY(link.waitUntilIdle(3000));
    QFile::remove(lockFile);
    holder.kill();
    holder.waitForFinished();
    QCOMPARE(link.journal.transmissions().at(0).attempts.at(0).result,
             QStringLiteral("не открыт: порт занят другой программой (sleep, PID %1), файл блокировки %2")
                 .arg(pid)
                 .arg(lockFile));
}

void tst_history::missingPermission_data() {
    QTest::addColumn<QString>("group");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("reason");
    QTest::newRow("dialout") << "dialout" << false
                             << "нет прав на /dev/ttyUSB0: добавьте пользователя в группу dialout (sudo usermod -aG "
                                "dialout $USER) и войдите в систему заново";
    QTest::newRow("joined, not logged in again")
        << "dialout" << true
        << "нет прав на /dev/ttyUSB0: пользователь уже в группе dialout, но сеанс начат раньше; войдите в систему "
           "заново";
    QTest::newRow("root's device") << "root" << false << "нет прав на /dev/ttyUSB0";
}

// The permission case cannot be made for real where the tests run as root, so its words are checked alone.
void tst_history::missingPermission() {
    QFETCH(QString, group);
    QFETCH(bool, listed);
    OpenFailureFacts facts;
    facts.cause = OpenFailureFacts::Cause::NoPermission;
    facts.device = "/dev/ttyUSB0";
    facts.group = group;
    facts.groupListed = listed;
    QTEST(describeOpenFailure(facts), "reason");
}

// Not root, QSerialPort fails on the lock file before it looks for the device, and says so as for a port in use.
void tst_history::missingDeviceWhateverTheError() {
    const OpenFailureFacts facts =
        gatherOpenFailureFacts("ttyZEVR9", QSerialPort::PermissionError, "Permission error while locking the device");
    QCOMPARE(int(facts.cause), int(OpenFailureFacts::Cause::Missing));
}

// "Отмена" stops the search at once, closes the port and drops what waits; each dropped command has its row.
void tst_history::cancelDropsTheQueue() {
    PtyPair silent;
    Link link;
    link.worker.com_port = silent.portName();
    QVector<int> counts;
    connect(&link.journal, &TransmissionJournal::unfinishedCountChanged, [&counts](int count) { counts << count; });
    for (const char *command : {"434D4479 000000 010111", "434D447A 00 00000000 0000", "434D4477 00 00000000"})
        link.worker.slot_data_send(bytes(command));
    QVERIFY(silent.waitForReceived(14, 2000));
    QVERIFY(link.worker.port->isOpen());
    QCOMPARE(link.journal.index(0, TransmissionJournal::OutcomeColumn).data().toString(),
             QStringLiteral("ждёт ответа"));
    link.worker.slot_cancel();
    QVERIFY(!link.worker.port->isOpen());
    QCOMPARE(counts, (QVector<int>{1, 2, 3, 2, 1, 0}));
    const QStringList rows = link.rows().split('\n');
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].section('\t', 3, 3), silent.portName() + ": отменено");
    QCOMPARE(rows[1].section('\t', 3, 3), QStringLiteral("отменено"));
    QCOMPARE(rows[2].section('\t', 3, 3), QStringLiteral("отменено"));
    // Nothing more goes to the line: no late answer timeout, no next command.
    QTest::qWait(1200);
    QCOMPARE(silent.received(), QByteArray("ZEVR-3G-Config"));
}

// The window counts what is not through yet, cancels it with a notice, and leaves the link's reports alone.
void tst_history::windowShowsBusyAndCancels() {
    PtyPair silent;
    MainWindow window;
    SerialThread worker;
    worker.com_auto = false;
    worker.com_port = silent.portName();
    window.attachLink(&worker);
    window.show();
    auto *dock = window.findChild<QDockWidget *>("dW_History");
    QVERIFY(dock && !dock->isVisible());
    window.findChild<QAction *>("action_history")->trigger();
    QVERIFY(dock->isVisible());

    window.findChild<QPushButton *>("pB_Send_1")->click();
    window.findChild<QPushButton *>("pB_Send_2")->click();
    auto *count = window.findChild<QLabel *>("lb_Count");
    QVERIFY(!count->isVisible()); // not for a command that may be answered at once
    QTRY_VERIFY_WITH_TIMEOUT(count->isVisible(), 2000);
    QCOMPARE(count->text(), QStringLiteral("Отправка, команд: 2"));
    const QString report = window.statusBar()->currentMessage();
    QVERIFY(report.startsWith("Открыт "));
    QTest::mouseClick(window.findChild<QPushButton *>("pB_Cancel"), Qt::LeftButton);
    QVERIFY(!count->isVisible());
    QCOMPARE(window.findChild<QLabel *>("noticeLabel")->text(),
             QStringLiteral("Отправка отменена, порт закрыт; снято команд: 2"));
    QCOMPARE(window.statusBar()->currentMessage(), report);
    QVERIFY(!worker.port->isOpen());
    QAbstractItemModel *rows = window.findChild<QTableView *>("tV_History")->model();
    QCOMPARE(rows->rowCount(), 2);
    QCOMPARE(rows->index(1, TransmissionJournal::OutcomeColumn).data().toString(), QStringLiteral("отменено"));
}

// "Копировать" takes the selected rows in the table's order, whatever order they were selected in, or every row.
void tst_history::copyTakesRowsInOrder() {
    MainWindow window;
    SerialThread worker;
    worker.com_auto = false; // no port named: each command ends at once
    window.attachLink(&worker);
    for (const char *button : {"pB_Send_1", "pB_Send_2", "pB_Send_3"})
        window.findChild<QPushButton *>(button)->click();
    auto *table = window.findChild<QTableView *>("tV_History");
    const auto copied = [&](const QList<int> &rows) {
        table->clearSelection();
        for (int row : rows)
            table->selectionModel()->select(table->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
        window.findChild<QPushButton *>("pB_Copy")->click();
        return QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    };
    const QStringList all = copied({});
    QCOMPARE(all.size(), 3);
    QCOMPARE(copied({2, 0}), QStringList({all[0], all[2]}));
}

QTEST_MAIN(tst_history)
#include "tst_history.moc"
