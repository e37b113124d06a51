#include "app/stylesheet.h"
#include "mainwindow/attemptsdelegate.h"
#include "mainwindow/historypanel.h"
#include "mainwindow/mainwindow.h"
#include "protocol/commanddescription.h"
#include "serial/portdiagnosis.h"
#include "serial/portlist.h"
#include "serial/transmissionjournal.h"
#include "support/linkedwindow.h"
#include "support/ptypair.h"
#include "support/savedialog.h"
#include "support/settingstestsupport.h"
#include "support/statusreport.h"

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QToolTip>
#include <QtTest>

#include <grp.h>
#include <sys/wait.h>

namespace {

QByteArray bytes(const char *hex) { return QByteArray::fromHex(hex); }

// The window opens the history through its menu entry; the panel exists only from then on.
QDockWidget *openHistory(MainWindow *window) {
    window->findChild<QAction *>("action_history")->trigger();
    return window->findChild<QDockWidget *>("dW_History");
}

// The height a row's contents ask for; QTableView hides the function that QAbstractItemView offers.
int wantedHeight(const QTableView *table, int row) {
    return static_cast<const QAbstractItemView *>(table)->sizeHintForRow(row);
}

} // namespace

// What the transmission history says about a command, decoded from the bytes, not from the encoder beside it.
class tst_history : public QObject {
    Q_OBJECT

private slots:
    void describesCommands_data() {
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
        QTest::newRow("z, RS485") << bytes("434D447A 02 00000000 0000") << "z счетчик с выходом RS485";
        QTest::newRow("z, type 7") << bytes("434D447A 07 00000000 0000") << "z неизвестный тип счетчика 7";
        QTest::newRow("z, 9999") << bytes("434D447A 01 05F5E100 270F")
                                 << "z импульсный счетчик, 10000000.0 кВт*ч, 99990 имп./кВт*ч";
        QTest::newRow("y cut short") << bytes("434D4479 173B3B 1F0C") << "не команда контроллера, 9 байт";
    }

    void describesCommands() {
        QFETCH(QByteArray, command);
        QTEST(describeCommand(command), "words");
    }

    // What the status bar cannot say: why each port of a search failed.
    void reasonsOfFailedAttempts() {
        PtyPair held, silent, answering;
        answering.answerEachProbe("ZEVR-3G");
        // A lock file as QSerialPort writes one names a live program: taken. It holds another port with no lock file.
        QProcess holder;
        holder.setStandardInputFile(silent.path());
        holder.start("sleep", {"30"});
        QVERIFY(holder.waitForStarted());
        const qint64 pid = holder.processId();
        const QString lock = serialLockFile(held.portName());
        QVERIFY(writeFileBytes(lock, QString("%1\nsleep\n%2\n").arg(pid).arg(QSysInfo::machineHostName()).toUtf8()));
        const QStringList ports = {"zevr-no-such-port", held.portName(), silent.portName(), "zevr\x01",
                                   answering.portName()};
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
        // A lock file of this program's own: the port is open here already.
        QVERIFY(writeFileBytes(lock, QByteArray::number(QCoreApplication::applicationPid()) + "\nzevr\n"));
        QCOMPARE(describeOpenFailure("", QSerialPort::UnknownError, "Is a directory"), "порт не задан"); // "/dev/"
        QCOMPARE(describeOpenFailure(held.portName(), QSerialPort::PermissionError,
                                     "Permission error while locking the device"),
                 "порт уже открыт этой программой, файл блокировки " + lock);
        QFile::remove(lock);
        // A device refused although its modes allow it, with no lock file: the program that has it open is named.
        const OpenFailureFacts busy =
            gatherOpenFailureFacts(silent.portName(), QSerialPort::PermissionError, "Device or resource busy");
        QCOMPARE(int(busy.cause), int(OpenFailureFacts::Cause::Busy));
        QCOMPARE(busy.holderPid, pid);
        QCOMPARE(busy.holderName, QStringLiteral("sleep"));
        // Not root, the serial library fails on the lock file before it looks for the device: a permission error.
        QCOMPARE(int(gatherOpenFailureFacts("ttyZEVR9", QSerialPort::PermissionError,
                                            "Permission error while locking the device")
                         .cause),
                 int(OpenFailureFacts::Cause::Missing));
        holder.kill();
        holder.waitForFinished();
        const QString row = "12:00:05\ty 00:00:00 01/01/2017\t%1\t%2\t43 4D 44 79 00 00 00 01 01 11";
        const QString reasons =
            QStringLiteral("zevr-no-such-port: не открыт: нет такого устройства /dev/zevr-no-such-port; "
                           "%1: не открыт: порт занят другой программой (sleep, PID %2), файл блокировки %3; "
                           "%4: нет ответа; %5: не открыт: в имени порта управляющий символ; %6: отправлено")
                .arg(ports[1], QString::number(pid), lock, ports[2], ports[3], ports[4]);
        QCOMPARE(journal.rowsText({0, 1}).split('\n'),
                 QStringList({row.arg(ports.join(", "), reasons), row.arg("", "в системе нет портов")}));
    }

    // A lock file is looked for wherever the serial library may have written it, in the library's order.
    void lockFilesLookedForWhereTheLibraryPutsThem() {
        const QString source = serialLibrarySource("*/src/serialport/qserialport_unix.cpp");
        const int start = source.indexOf("lockDirectoryPaths = ");
        QVERIFY(start > 0);
        QString list = source.mid(start, source.indexOf(';', start) - start);
        list.remove(QRegularExpression("#ifdef Q_OS_ANDROID.*?#endif", QRegularExpression::DotMatchesEverythingOption));
        QStringList folders;
        for (auto match = QRegularExpression("QStringLiteral\\(\"([^\"]+)\"\\)").globalMatch(list); match.hasNext();)
            folders << match.next().captured(1);
        if (list.contains("writableLocation(QStandardPaths::TempLocation)"))
            folders << QStandardPaths::writableLocation(QStandardPaths::TempLocation);
        QVERIFY2(folders.size() >= 8, qPrintable(list));
        QCOMPARE(serialLockFolders(), folders);
    }

    void permissionRefused_data() {
        QTest::addColumn<unsigned>("deviceGroup");
        QTest::addColumn<unsigned>("sessionGroup"); // the user's own group is nogroup
        QTest::addColumn<QString>("advice");
        const QString logIn = QStringLiteral("войдите в систему заново");
        QTest::newRow("its group, session begun before")
            << 65534u << 1u << ": пользователь уже в группе nogroup, но сеанс начат раньше; " + logIn;
        QTest::newRow("its group in this session") << 65534u << 65534u << "";
        QTest::newRow("dialout") << 20u << 1u
                                 << ": добавьте пользователя в группу dialout (sudo usermod -aG dialout $USER) и " +
                                        logIn;
        QTest::newRow("root's device") << 0u << 1u << "";
        QVERIFY(userListedInGroup("operator", 1000, 20, {"backup", "operator"}) &&
                !userListedInGroup("operator", 1000, 20, {"backup", "operators"}));
    }

    // For real, as another user: a refused open is missing permission; logging in again is advised only to a session
    // without the device's group, of which a user is a member as its primary group or by name.
    void permissionRefused() {
        QFETCH(unsigned, deviceGroup);
        QFETCH(unsigned, sessionGroup);
        QFETCH(QString, advice);
        QTemporaryFile device;
        QVERIFY(device.open() && device.setPermissions(QFileDevice::ReadOwner) &&
                fchown(device.handle(), 0, deviceGroup) == 0);
        const QString path = device.fileName();
        const pid_t child = fork();
        if (child == 0) // the diagnosis runs once the child is no longer root
            _exit(!(setgroups(0, nullptr) == 0 && setgid(sessionGroup) == 0 && setuid(65534) == 0 &&
                    describeOpenFailure(gatherOpenFailureFacts(path, QSerialPort::PermissionError, "")) ==
                        "нет прав на " + path + advice));
        int status = -1;
        QVERIFY(waitpid(child, &status, 0) == child && status == 0);
    }

    // Behind a command under way, the finished rows are dropped all the same: the journal keeps its bound.
    // The oldest rows go while a new one waits to be measured: the new row moves up and is measured where it now is.
    void rowsToMeasureFollowDroppedRows() {
        SerialThread worker;
        TransmissionJournal journal(&worker);
        HistoryPanel panel;
        panel.setJournal(&journal);
        panel.resize(600, 400);
        panel.show();
        emit worker.signal_command_queued(1, bytes("434D4479 000000 010111"));
        QCOMPARE(journal.transmissions().first().outcomeText(), QStringLiteral("в очереди"));
        emit worker.signal_transmission_started(1);
        QCOMPARE(journal.transmissions().first().outcomeText(), QStringLiteral("идёт поиск"));
        for (int i = 0; i < 999; ++i)
            journal.refuse("y", "отказ");
        QTest::qWait(50);
        journal.refuse("y", QStringLiteral("длинная причина отказа, ").repeated(20));
        QCOMPARE(journal.rowCount(), 901);
        QCOMPARE(journal.transmissions().first().id, quint64(1));
        QCOMPARE(journal.unfinishedCount(), 1);
        auto *table = panel.findChild<QTableView *>("tV_History");
        QVERIFY(wantedHeight(table, 900) > 2 * table->fontMetrics().lineSpacing());
        QTRY_VERIFY(table->rowHeight(900) >= wantedHeight(table, 900));
        journal.refuse("y", QStringLiteral("длинная причина отказа, ").repeated(20)); // to a panel that has settled
        const QScrollBar *scroll = table->verticalScrollBar();
        QTRY_VERIFY(table->rowHeight(900) >= wantedHeight(table, 900) && scroll->value() == scroll->maximum());
        // The command under way still gets its attempts, also once "Очистить" has left it alone in the first row.
        journal.clearFinished();
        QTest::qWait(50); // the panel settles first: only the journal's news of attempts can measure the row again
        for (int i = 0; i < 9; ++i)
            emit worker.signal_attempt_failed("ttyS0", QStringLiteral("нет ответа"));
        QCOMPARE(journal.transmissions().first().attempts.size(), 9);
        QCOMPARE(wantedHeight(table, 0) / table->fontMetrics().lineSpacing(), 8); // nine ports tried: eight lines
        QTRY_VERIFY(table->rowHeight(0) >= wantedHeight(table, 0));
    }

    // "Отмена" stops the search at once, closes the port and drops what waits, each dropped command keeping its row;
    // the window counts what is not through yet, and the cancel leaves the link's reports alone. "Очистить" takes the
    // rows that have ended; a command still on its way keeps its row and the counts stay true.
    void cancelDropsTheQueue() {
        PtyPair silent;
        LinkedWindow linked(silent.portName());
        MainWindow &window = linked.window;
        SerialThread &worker = linked.worker;
        window.show();
        auto *journal = window.findChild<TransmissionJournal *>();
        QVERIFY(journal && !window.findChild<QDockWidget *>("dW_History"));
        QVERIFY(openHistory(&window)->isVisible());
        QVector<int> counts;
        connect(journal, &TransmissionJournal::unfinishedCountChanged, [&counts](int count) { counts << count; });
        auto *date = window.findChild<QLineEdit *>("lE_Date");
        const QString goodDate = date->text();
        date->setText("01/01/1999");
        window.findChild<QPushButton *>("pB_Send_2")->click(); // refused, so ended at once
        date->setText(goodDate);
        for (const char *button : {"pB_Send_1", "pB_Send_2", "pB_Send_3"})
            window.findChild<QPushButton *>(button)->click();
        auto *count = window.findChild<QLabel *>("lb_Count");
        QVERIFY(!count->isVisible()); // not for a command that may be answered at once
        QTRY_VERIFY_WITH_TIMEOUT(count->isVisible(), 2000);
        QCOMPARE(count->text(), QStringLiteral("Отправка, команд: 3"));
        QVERIFY(silent.waitForReceived(14, 2000));
        window.findChild<QPushButton *>("pB_Clear")->click();
        QCOMPARE(journal->rowCount(), 3);
        QCOMPARE(journal->unfinishedCount(), 3);
        // The rows that stay are measured anew at once, not at their next change: the station's wraps.
        auto *table = window.findChild<QTableView *>("tV_History");
        QVERIFY(wantedHeight(table, 0) > table->verticalHeader()->defaultSectionSize());
        QTRY_COMPARE_WITH_TIMEOUT(table->rowHeight(0), wantedHeight(table, 0), 300);
        QCOMPARE(journal->index(0, TransmissionJournal::OutcomeColumn).data().toString(),
                 QStringLiteral("ждёт ответа"));
        const QString report = reportText(window);
        QVERIFY(report.startsWith("Открыт "));
        QTest::mouseClick(window.findChild<QPushButton *>("pB_Cancel"), Qt::LeftButton);
        QVERIFY(!count->isVisible());
        QCOMPARE(noticeOf(window)->text(), QStringLiteral("Отправка отменена, порт закрыт; снято команд: 3"));
        QCOMPARE(reportText(window), report);
        QVERIFY(!worker.port->isOpen());
        QCOMPARE(counts, (QVector<int>{1, 2, 3, 2, 1, 0}));
        QCOMPARE(journal->rowCount(), 3);
        QStringList outcomes;
        for (const QString &row : journal->rowsText({0, 1, 2}).split('\n'))
            outcomes << row.section('\t', 3, 3);
        QCOMPARE(outcomes, QStringList({silent.portName() + ": отменено", "отменено", "отменено"}));
        window.findChild<QPushButton *>("pB_Clear")->click();
        QCOMPARE(journal->rowCount(), 0);
        // Nothing more goes to the line: no late answer timeout, no next command.
        QTest::qWait(1200);
        QCOMPARE(silent.received(), QByteArray("ZEVR-3G-Config"));
        // The notice says what was dropped until the next command starts; then it would read as that command's fate.
        worker.slot_data_send("CMDy");
        QCOMPARE(noticeOf(window)->text(), QString());
        QVERIFY(reportText(window).startsWith("Открыт "));
        worker.slot_cancel();
    }

    // Commands sent while the history was never opened are all there, measured, when it first opens.
    void panelIsBuiltOnFirstOpen() {
        LinkedWindow linked;
        MainWindow &window = linked.window;
        window.show();
        for (int i = 0; i < 4; ++i)
            window.findChild<QPushButton *>("pB_Send_1")->click();
        QVERIFY(!window.findChild<QTableView *>("tV_History"));
        QDockWidget *dock = openHistory(&window);
        QVERIFY(dock && dock->isVisible());
        auto *table = window.findChild<QTableView *>("tV_History");
        QCOMPARE(table->model()->rowCount(), 4);
        QTRY_VERIFY(table->rowHeight(0) == wantedHeight(table, 0) && table->rowHeight(3) == wantedHeight(table, 3));
        QVERIFY(table->rowHeight(0) > table->fontMetrics().lineSpacing());
        window.findChild<QPushButton *>("pB_Send_2")->click();
        QCOMPARE(table->model()->rowCount(), 5);
        QTRY_COMPARE(table->rowHeight(4), wantedHeight(table, 4));
        // Wider columns wrap into fewer lines, and the rows follow them.
        const int before = table->rowHeight(0);
        window.resize(window.width() * 2, window.height());
        QTRY_VERIFY(table->rowHeight(0) < before && table->rowHeight(0) >= wantedHeight(table, 0));
        // Closed and opened again from the menu, the panel is built once.
        window.findChild<QAction *>("action_history")->trigger();
        QCOMPARE(openHistory(&window), dock);
        QVERIFY(dock->isVisible());
        QCOMPARE(window.findChildren<QTableView *>("tV_History").size(), 1);
        // "Копировать" takes the selected rows in the table's order, whatever order they were picked in, or every row.
        const auto copied = [&](const QList<int> &rows) {
            table->clearSelection();
            for (int row : rows)
                table->selectionModel()->select(table->model()->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
            window.findChild<QPushButton *>("pB_Copy")->click();
            return QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        };
        const QStringList all = copied({});
        QCOMPARE(all.size(), 5);
        QCOMPARE(copied({4, 0}), QStringList({all[0], all[4]}));
        dock->close(); // by its own button: the menu entry follows
        QVERIFY(!window.findChild<QAction *>("action_history")->isChecked());
    }

    // The file holds every row, the refused one included, in UTF-8 with the bytes in hex; a field with the separator
    // or a quote in it is quoted. It is replaced whole, never through a link. The panel opened before the link was
    // attached shows the link's history all the same.
    void savesTheHistoryAsCsv() {
        QTemporaryDir dir;
        MainWindow window;
        openHistory(&window);
        SerialThread worker;
        window.attachLink(&worker);
        setPortLister([] { return QStringList{"zevr-none-1", "zevr-none-2"}; });
        auto *journal = window.findChild<TransmissionJournal *>();
        journal->setClock([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 8, 7, 6)); });
        window.findChild<QPushButton *>("pB_Send_2")->click();
        QTRY_COMPARE(journal->unfinishedCount(), 0);
        setPortLister(nullptr);
        window.findChild<QLineEdit *>("lE_Date")->setText("01/01/1999");
        window.findChild<QPushButton *>("pB_Send_2")->click();
        const QString refusal = reportText(window);
        auto *panel = window.findChild<HistoryPanel *>();
        // Named in the dialog without an extension, the file gets ".csv", and the dialog asks before it replaces an
        // older history; that is replaced whole, with no temporary file left beside it.
        const QString path = dir.filePath("история.csv");
        QVERIFY(writeFileBytes(path, "old"));
        QString asked;
        answerSaveDialog(dir.filePath("история"), &asked);
        panel->findChild<QPushButton *>("pB_Save")->click();
        QVERIFY2(asked.contains("история.csv"), qPrintable(asked));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList("история.csv"));
        QCOMPARE(noticeOf(window)->text(), QStringLiteral("История сохранена: история.csv"));
        const QByteArray content = readFileBytes(path);
        QVERIFY(content.startsWith("\xEF\xBB\xBF"));
        const QString time = QStringLiteral("2026-12-07 09:08:07.006;");
        QCOMPARE(
            QString::fromUtf8(content.mid(3)).split(QStringLiteral("\r\n")),
            QStringList({"Время;Команда;Порт;Результат;Байты",
                         time + "y 00:00:00 01/01/2017;zevr-none-1, zevr-none-2;\"zevr-none-1: не открыт: нет такого "
                                "устройства /dev/zevr-none-1; zevr-none-2: не открыт: нет такого устройства "
                                "/dev/zevr-none-2\";43 4D 44 79 00 00 00 01 01 11",
                         time + "y время и дата;;" + refusal + ';', QString()}));
        // Tooltips: the whole moment for the time, the whole outcome for the result, none elsewhere.
        const auto tip = [journal](int column) { return journal->data(journal->index(1, column), Qt::ToolTipRole); };
        QCOMPARE(tip(TransmissionJournal::TimeColumn).toString(), QStringLiteral("07.12.2026 09:08:07.006"));
        QCOMPARE(tip(TransmissionJournal::OutcomeColumn).toString(), refusal);
        QVERIFY(!tip(TransmissionJournal::CommandColumn).isValid());
        // The hidden row header, which a screen reader may still read, numbers the rows; only columns have titles.
        QCOMPARE(journal->headerData(1, Qt::Vertical).toString(), QStringLiteral("2"));
        QCOMPARE(journal->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Команда"));
        // Written as the settings are, never through a link; the refusal is told in the notice.
        QVERIFY(makeLink(path, dir.filePath("link.csv")) && !panel->saveTo(dir.filePath("link.csv")));
        QCOMPARE(readFileBytes(path), content);
        auto *notice = noticeOf(window);
        QVERIFY2(notice->text().startsWith(QStringLiteral("История не сохранена: ")), qPrintable(notice->text()));
        QVERIFY(notice->toolTip().contains(QDir::toNativeSeparators(dir.filePath("link.csv"))));
    }

    void dockedInA720PixelWindow_data() {
        QTest::addColumn<QStringList>("missing"); // listed before the answering port; none: the search is off
        QTest::newRow("one port") << QStringList();
        QTest::newRow("search over three ports, long reasons")
            << QStringList{"zevr-unplugged-adapter-of-line-1", "zevr-unplugged-adapter-of-line-2"};
    }

    // Docked in a window 720 pixels high, the history shows five rows whole and every byte without scrolling sideways;
    // the attempts of a result are whole in the cell's tooltip, and a cut refusal keeps its start.
    void dockedInA720PixelWindow() {
        QFETCH(QStringList, missing);
        PtyPair device;
        device.answerEachProbe("ZEVR-3G");
        setPortLister([&] { return missing + QStringList{device.portName()}; });
        const auto restore = qScopeGuard([] {
            setPortLister(nullptr);
            qApp->setStyleSheet(QString());
        });
        qApp->setStyleSheet(readStyleSheet(":/style/app.qss"));
        LinkedWindow linked(device.portName());
        linked.worker.com_auto = !missing.isEmpty();
        MainWindow &window = linked.window;
        window.resize(window.width(), 720);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        openHistory(&window);
        // The fourth is refused, with a reason longer than three lines of its column; while the link is idle, since
        // beside the busy indicator the long report takes a second line of the status bar and the window grows by it.
        auto *date = window.findChild<QLineEdit *>("lE_Date");
        const QString goodDate = date->text();
        auto *journal = window.findChild<TransmissionJournal *>();
        for (int i = 0; i < 6; ++i) {
            if (i == 3)
                QTRY_COMPARE_WITH_TIMEOUT(journal->unfinishedCount(), 0, 10000);
            date->setText(i == 3 ? "01/01/1999" : goodDate);
            window.findChild<QPushButton *>(i % 2 ? "pB_Send_2" : "pB_Send_3")->click();
        }
        QTRY_COMPARE_WITH_TIMEOUT(journal->unfinishedCount(), 0, 10000);
        auto *table = window.findChild<QTableView *>("tV_History");
        QTRY_COMPARE(table->rowHeight(5), wantedHeight(table, 5));
        QCOMPARE(window.height(), 720);
        QVERIFY(!table->horizontalScrollBar()->isVisible());
        const int bytes = TransmissionJournal::BytesColumn;
        QVERIFY(table->columnViewportPosition(bytes) + table->columnWidth(bytes) <= table->viewport()->width());
        int whole = 0;
        for (int row = 0; row < 6; ++row) {
            const int top = table->rowViewportPosition(row);
            if (top < 0 || top + table->rowHeight(row) > table->viewport()->height())
                continue;
            ++whole;
            // The bytes' cell is as tall as their wrapped lines: none is cut off.
            const QModelIndex cell = table->model()->index(row, bytes);
            const QString text = cell.data().toString();
            const int needed =
                table->fontMetrics()
                    .boundingRect(QRect(0, 0, table->columnWidth(bytes) - 8, 10000), Qt::TextWordWrap, text)
                    .height();
            QVERIFY2(table->rowHeight(row) >= needed, qPrintable(text));
        }
        QVERIFY2(whole >= 5, qPrintable(QString::number(whole)));
        const QModelIndex refused = table->model()->index(3, TransmissionJournal::OutcomeColumn);
        const QString refusal = refused.data().toString();
        QVERIFY(refusal.contains("1999 вне диапазона 2000–2255"));
        const QPoint at = table->visualRect(refused.siblingAtRow(5)).center();
        QHelpEvent hover(QEvent::ToolTip, at, table->viewport()->mapToGlobal(at));
        QApplication::sendEvent(table->viewport(), &hover);
        for (const LinkAttempt &attempt : journal->transmissions().at(5).attempts)
            QVERIFY2(QToolTip::text().contains(attempt.port + ": " + attempt.result), qPrintable(QToolTip::text()));
        // The port cell paints its attempts, the bytes' cell its text: neither is blank.
        for (const int column : {int(TransmissionJournal::PortColumn), bytes}) {
            const QImage cell = table->viewport()->grab(table->visualRect(refused.sibling(5, column))).toImage();
            QImage blank = cell;
            blank.fill(cell.pixel(0, 0));
            QVERIFY2(cell != blank, qPrintable(QString::number(column)));
        }
        QStyleOptionViewItem option;
        option.font = table->font();
        auto *delegate = qobject_cast<AttemptsDelegate *>(table->itemDelegate());
        QHelpEvent whatsThis(QEvent::WhatsThis, at, hover.globalPos()); // no tooltip: the cell has no such text
        QVERIFY(!delegate->helpEvent(&whatsThis, table, option, refused.siblingAtRow(5)));
        // Its cell shows the reason's start, the last line cut with "…": no words twice, none left out before the cut.
        QStringList cut = delegate->cutLines(option, refused);
        table->horizontalHeader()->setSectionResizeMode(bytes, QHeaderView::Interactive); // the bytes: never cut
        table->setColumnWidth(bytes, table->fontMetrics().horizontalAdvance("43 4D"));
        QVERIFY(delegate->cutLines(option, table->model()->index(5, bytes)).isEmpty());
        QVERIFY(cut.size() == 3 && cut.last().endsWith(QChar(0x2026)));
        cut.last().chop(1);
        QVERIFY2(QString(refusal).remove(' ').startsWith(cut.join(QString()).remove(' ')), qPrintable(cut.join('|')));
    }
};

QTEST_MAIN(tst_history)
#include "tst_history.moc"
