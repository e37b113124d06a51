#include "mainwindow/mainwindow.h"
#include "protocol/commanddescription.h"
#include "serial/portdiagnosis.h"
#include "serial/portlist.h"
#include "serial/transmissionjournal.h"
#include "support/ptypair.h"
#include "support/statusreport.h"

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

} // namespace

// What the transmission history says about a command, decoded from the bytes of the controller's command
// descriptions, not from the encoder that shares the module.
class tst_history : public QObject {
    Q_OBJECT

private slots:
    void describesCommands_data();
    void describesCommands();
    void reasonsOfFailedAttempts();
    void missingPermission_data();
    void missingPermission();
    void missingDeviceWhateverTheError();
    void cancelDropsTheQueue();
    void countsStayTrueWithManyQueued();
    void copyTakesRowsInOrder();
};

void tst_history::describesCommands_data() {
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<QString>("words");
    const QString form = QStringLiteral("СМ нет, 01/01/2017, код A, № 1234");

    QTest::newRow("w, no unit") << bytes("434D4477 00 00000000") << "w одноканальная, без БУ";
    QTest::newRow("w, unit 2 analog") << bytes("434D4477 03 6F7071 00000002")
                                      << "w одноканальная: БУ1 111 GSM/RS-485, БУ2 112 4-20 мА, БУ3 113 GSM/RS-485";
    // The second record carries the serial number's low 16 bits alone, and the history says what the bytes say.
    QTest::newRow("x, two channels") << bytes("434D4478 01020F0610420001869F3000 02020F0610420000869F4000"
                                              "000001011141000004D20000 000001011141000004D20000")
                                     << QStringLiteral("x многоканальная: к1 СМ 1,3, 15/06/2016, код B, № 99999; "
                                                       "к2 СМ 2,4, 15/06/2016, код B, № 34463; к3 %1; к4 %1")
                                            .arg(form);
    QTest::newRow("y") << bytes("434D4479 173B3B 1F0C63") << "y 23:59:59 31/12/2099";
    QTest::newRow("z, none") << bytes("434D447A 00 00000000 0000") << "z счетчик не подключен";
    QTest::newRow("z, 9999") << bytes("434D447A 01 05F5E100 270F")
                             << "z импульсный счетчик, 10000000.0 кВт*ч, 99990 имп./кВт*ч";
    QTest::newRow("z, RS485") << bytes("434D447A 02 00000000 0000") << "z счетчик с выходом RS485";
    QTest::newRow("y cut short") << bytes("434D4479 173B3B 1F0C") << "не команда контроллера, 9 байт";
}

void tst_history::describesCommands() {
    QFETCH(QByteArray, command);
    QFETCH(QString, words);
    QCOMPARE(describeCommand(command), words);
}

// What the status bar cannot say: why each port of a search failed.
void tst_history::reasonsOfFailedAttempts() {
    PtyPair held, silent, answering;
    answering.answerEachProbe("ZEVR-3G");
    // A lock file as QSerialPort writes one, naming a program that is alive: that port counts as taken.
    QProcess holder;
    holder.start("sleep", {"30"});
    QVERIFY(holder.waitForStarted());
    const qint64 pid = holder.processId();
    QFile lock("/var/lock/LCK.." + held.portName().replace('/', '_'));
    QVERIFY(lock.open(QIODevice::WriteOnly));
    QVERIFY(lock.write(QStringLiteral("%1\nsleep\n%2\n").arg(pid).arg(QSysInfo::machineHostName()).toUtf8()));
    lock.close();
    const QStringList ports = {"zevr-no-such-port", held.portName(), silent.portName(), answering.portName()};
    setPortLister([ports] { return ports; });
    SerialThread worker;
    TransmissionJournal journal(&worker);
    journal.setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(12, 0, 5)); });
    const QByteArray command = bytes("434D4479 000000 010111");
    worker.slot_data_send(command);
    setPortLister([] { return QStringList(); });
    worker.slot_data_send(command);
    QTRY_COMPARE_WITH_TIMEOUT(journal.unfinishedCount(), 0, 6000);
    setPortLister(nullptr);
    lock.remove();
    holder.kill();
    holder.waitForFinished();
    const QString row = "12:00:05\ty 00:00:00 01/01/2017\t%1\t%2\t43 4D 44 79 00 00 00 01 01 11";
    const QString reasons =
        QStringLiteral("zevr-no-such-port: не открыт: нет такого устройства /dev/zevr-no-such-port; "
                       "%1: не открыт: порт занят другой программой (sleep, PID %2), файл блокировки %3; "
                       "%4: нет ответа; %5: отправлено")
            .arg(ports[1])
            .arg(pid)
            .arg(lock.fileName(), ports[2], ports[3]);
    QCOMPARE(journal.rowsText({0, 1}).split('\n'),
             QStringList({row.arg(ports.join(", "), reasons), row.arg("", "в системе нет портов")}));
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

// "Отмена" stops the search at once, closes the port and drops what waits, each dropped command keeping its row;
// the window counts what is not through yet, and the cancel leaves the link's reports alone.
void tst_history::cancelDropsTheQueue() {
    PtyPair silent;
    MainWindow window;
    SerialThread worker;
    worker.com_auto = false;
    worker.com_port = silent.portName();
    window.attachLink(&worker);
    window.show();
    auto *dock = window.findChild<QDockWidget *>("dW_History");
    auto *journal = window.findChild<TransmissionJournal *>();
    QVERIFY(dock && journal && !dock->isVisible());
    window.findChild<QAction *>("action_history")->trigger();
    QVERIFY(dock->isVisible());
    QVector<int> counts;
    connect(journal, &TransmissionJournal::unfinishedCountChanged, [&counts](int count) { counts << count; });

    for (const char *button : {"pB_Send_1", "pB_Send_2", "pB_Send_3"})
        window.findChild<QPushButton *>(button)->click();
    auto *count = window.findChild<QLabel *>("lb_Count");
    QVERIFY(!count->isVisible()); // not for a command that may be answered at once
    QTRY_VERIFY_WITH_TIMEOUT(count->isVisible(), 2000);
    QCOMPARE(count->text(), QStringLiteral("Отправка, команд: 3"));
    QVERIFY(silent.waitForReceived(14, 2000));
    QCOMPARE(journal->index(0, TransmissionJournal::OutcomeColumn).data().toString(), QStringLiteral("ждёт ответа"));
    const QString report = reportText(window);
    QVERIFY(report.startsWith("Открыт "));
    QTest::mouseClick(window.findChild<QPushButton *>("pB_Cancel"), Qt::LeftButton);
    QVERIFY(!count->isVisible());
    QCOMPARE(window.findChild<QLabel *>("noticeLabel")->text(),
             QStringLiteral("Отправка отменена, порт закрыт; снято команд: 3"));
    QCOMPARE(reportText(window), report);
    QVERIFY(!worker.port->isOpen());
    QCOMPARE(counts, (QVector<int>{1, 2, 3, 2, 1, 0}));
    QCOMPARE(journal->rowCount(), 3);
    const QStringList rows = journal->rowsText({0, 1, 2}).split('\n');
    QCOMPARE(rows[0].section('\t', 3, 3), silent.portName() + ": отменено");
    QCOMPARE(rows[1].section('\t', 3, 3), QStringLiteral("отменено"));
    QCOMPARE(rows[2].section('\t', 3, 3), QStringLiteral("отменено"));
    // Nothing more goes to the line: no late answer timeout, no next command.
    QTest::qWait(1200);
    QCOMPARE(silent.received(), QByteArray("ZEVR-3G-Config"));
}

// However many commands wait, each keeps its row until it has ended, so the busy indicator's count and "Отмена"'s
// notice stay true; only finished rows give way to keep the history at its length.
void tst_history::countsStayTrueWithManyQueued() {
    PtyPair silent;
    MainWindow window;
    SerialThread worker;
    worker.com_auto = false;
    worker.com_port = silent.portName();
    window.attachLink(&worker);
    // The counts are under test here, not what the table costs per row (a benchmark of its own): its rows keep one
    // height instead of being measured.
    window.findChild<QTableView *>("tV_History")->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    window.show();
    auto *journal = window.findChild<TransmissionJournal *>();
    auto *count = window.findChild<QLabel *>("lb_Count");
    const QByteArray command = bytes("434D4479 000000 010111");
    const int queued = 10000;
    const auto queueAll = [&] {
        for (int i = 0; i < queued; ++i)
            worker.slot_data_send(command);
    };

    // Nothing runs the event loop meanwhile, so the first command's answer time cannot run out.
    queueAll();
    QCOMPARE(journal->unfinishedCount(), queued);
    QCOMPARE(count->text(), QStringLiteral("Отправка, команд: 10000"));
    QTest::mouseClick(window.findChild<QPushButton *>("pB_Cancel"), Qt::LeftButton);
    QCOMPARE(window.findChild<QLabel *>("noticeLabel")->text(),
             QStringLiteral("Отправка отменена, порт закрыт; снято команд: 10000"));
    QCOMPARE(journal->unfinishedCount(), 0);
    QVERIFY(!count->isVisible());
    QCOMPARE(journal->rowCount(), 1000);

    // The first waits for an answer that never comes; meanwhile the search is switched on and finds no port, so the
    // others end at once.
    queueAll();
    setPortLister([] { return QStringList(); });
    worker.com_auto = true;
    QTRY_COMPARE_WITH_TIMEOUT(journal->unfinishedCount(), 0, 5000);
    setPortLister(nullptr);
    QVERIFY(!count->isVisible());
    QCOMPARE(journal->rowCount(), 1000);
    const QVector<Transmission> &rows = journal->transmissions();
    QCOMPARE(rows.last().id - rows.first().id, quint64(999));
    QVERIFY(std::all_of(rows.begin(), rows.end(), [](const Transmission &row) {
        return row.state == Transmission::State::Done && row.outcome == SerialThread::Outcome::NoPort;
    }));
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
