#include "support/linkedwindow.h"
#include "support/operatorclick.h"
#include "support/ptypair.h"
#include "support/settingstestsupport.h"

#include <QAction>
#include <QClipboard>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QWindow>
#include <QtTest>

#include <memory>

// What a technician expects of a desktop tool beyond its form: keys that reach the menu entries and the send
// buttons, a title that names the open profile, and the workstation's clock sent as the command goes out.
namespace {

const QString programTitle = QStringLiteral("ЗЕВР-3G-Config v.1.2");

struct ActionRow {
    const char *action;
    int tab;
    const char *focus; // the widget that holds the keyboard focus
    QKeySequence keys; // none: triggered, as its menu entry does
    QString effect;
};

// Every action of the window, each way it is reached: triggered, and by each of its shortcuts pressed in a field
// that holds the focus; and what an operator sees it do.
QVector<ActionRow> actionRows() {
    const QString manual = "notice Руководство пользователя не найдено", quit = "quit";
    const QString open = "dialog QFileDialog Открыть профиль", save = "dialog QFileDialog Сохранить профиль";
    return {
        {"action_open_profile", 0, "lE_1", {}, open},
        {"action_open_profile", 1, "lE_Time", QKeySequence("Ctrl+O"), open},
        {"action_save_profile", 0, "lE_1", {}, save},
        {"action_save_profile", 2, "rB_Not_El_Counter", QKeySequence("Ctrl+S"), save},
        {"action_history", 0, "lE_1", {}, "history shown"},
        {"action_history", 0, "lE_1", QKeySequence("Ctrl+H"), "history shown"},
        {"action_settings", 0, "lE_1", {}, "dialog settings_dlg Настройки связи"},
        {"action_exit", 0, "lE_1", {}, quit},
        {"action_exit", 1, "lE_Time", QKeySequence("Ctrl+Q"), quit},
        {"action_about", 0, "lE_1", {}, "dialog About_dl О программе"},
        // This test program has no manual beside it, so F1 ends in the notice that says so.
        {"action_re", 0, "lE_1", {}, manual},
        {"action_re", 0, "lE_1", QKeySequence(Qt::Key_F1), manual},
        {"action_send_tab", 0, "lE_1", {}, "sent 43 4D 44 77 00 00 00 00 00"},
        {"action_send_tab", 0, "lE_1", QKeySequence("Ctrl+Return"), "sent 43 4D 44 77 00 00 00 00 00"},
        {"action_send_tab", 1, "lE_Time", QKeySequence("Ctrl+Return"), "sent 43 4D 44 79 00 00 00 01 01 11"},
        {"action_send_tab", 2, "rB_Not_El_Counter", QKeySequence(Qt::CTRL | Qt::KeypadModifier | Qt::Key_Enter),
         "sent 43 4D 44 7A 00 00 00 00 00 00 00"},
        // The history's table holds one row here, the time command's, and has the focus.
        {"action_copy", 1, "tV_History", {}, "copied 1 row of 5 cells"},
        {"action_copy", 1, "tV_History", QKeySequence("Ctrl+C"), "copied 1 row of 5 cells"},
    };
}

} // namespace

class tst_comforts : public QObject {
    Q_OBJECT

private slots:
    void init() {
        m_dir = std::make_unique<ScopedWorkDir>();
        QVERIFY(m_dir->isValid());
        m_linked = std::make_unique<LinkedWindow>();
        m_window = &m_linked->window;
        m_window->show();
        QApplication::setActiveWindow(m_window);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
    }

    void cleanup() {
        m_linked.reset();
        m_dir.reset();
    }

    void actions_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("effect");
        for (const ActionRow &row : actionRows())
            QTest::addRow("%s %s", row.action, qPrintable(row.keys.toString()))
                << row.action << row.tab << row.focus << row.keys << row.effect;
    }

    // What the window did, in words: a dialog (closed at once), a notice, a command sent, history, copy or quit.
    void actions() {
        QFETCH(QString, action);
        QFETCH(int, tab);
        QFETCH(QString, focus);
        QFETCH(QKeySequence, keys);
        if (action == "action_copy") {
            child<QTabWidget>("tabWidget")->setCurrentIndex(1);
            operatorClick(child<QWidget>("pB_Send_2"));
            child<QAction>("action_history")->trigger();
        }
        child<QTabWidget>("tabWidget")->setCurrentIndex(tab);
        QWidget *field = child<QWidget>(focus);
        field->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), field);
        QStringList effects;
        QTimer::singleShot(0, m_window, [&effects] {
            if (QWidget *dialog = QApplication::activeModalWidget()) {
                effects << "dialog " + QString(dialog->metaObject()->className()) + ' ' + dialog->windowTitle();
                dialog->close();
            }
        });
        QSignalSpy sent(m_window, &MainWindow::signal_data_send), quit(m_window, &MainWindow::signal_quit);
        const auto historyShown = [this] {
            return child<QDockWidget>("dW_History") && child<QDockWidget>("dW_History")->isVisible();
        };
        const bool historyBefore = historyShown();
        const QString notice = child<QLabel>("noticeLabel")->text();
        QGuiApplication::clipboard()->clear();
        if (keys.isEmpty())
            child<QAction>(action)->trigger();
        else
            QTest::keyClick(field, Qt::Key(keys[0] & ~Qt::KeyboardModifierMask),
                            Qt::KeyboardModifiers(keys[0] & Qt::KeyboardModifierMask));
        QTest::qWait(20);
        if (child<QLabel>("noticeLabel")->text() != notice)
            effects << "notice " + child<QLabel>("noticeLabel")->text();
        for (const QList<QVariant> &command : sent)
            effects << "sent " + command.first().toByteArray().toHex(' ').toUpper();
        if (historyShown() && !historyBefore)
            effects << "history shown";
        if (const QString copied = QGuiApplication::clipboard()->text(); !copied.isEmpty())
            effects << QStringLiteral("copied %1 row of %2 cells")
                           .arg(copied.trimmed().count('\n') + 1)
                           .arg(copied.section('\n', 0, 0).count('\t') + 1);
        if (!quit.isEmpty())
            effects << "quit";
        QTEST(effects.join('|'), "effect");
    }

    // The table above holds every action of the window, in its menus, on itself and on its widgets, with every shortcut
    // of each: an action added without a row there, or a shortcut without one, fails here.
    void everyActionIsInTheTable() {
        child<QAction>("action_history")->trigger(); // the history's panel, and its actions, exist from then on
        QList<QAction *> found = m_window->actions();
        for (QWidget *widget : m_window->findChildren<QWidget *>())
            found += widget->actions(); // the menu bar's and every menu's too
        QStringList inWindow, inTable;
        for (QAction *action : found) {
            if (action->isSeparator() || action->menu())
                continue;
            const QString name = action->objectName().isEmpty() ? action->text() : action->objectName();
            for (const QKeySequence &keys : QList<QKeySequence>{QKeySequence()} + action->shortcuts())
                inWindow << name + ' ' + keys.toString();
        }
        for (const ActionRow &row : actionRows())
            inTable << QString(row.action) + ' ' + row.keys.toString();
        // Ctrl+Return and the keypad's Enter are one action's two shortcuts; the table presses the keypad's.
        inTable.replaceInStrings("Ctrl+Num+Enter", "Ctrl+Enter");
        inWindow.removeDuplicates();
        inTable.removeDuplicates();
        inWindow.sort();
        inTable.sort();
        QCOMPARE(inWindow, inTable);
    }

    // The specified title until a profile is opened or saved; then its name, with "*" while the tabs differ from it.
    void titleNamesTheProfile() {
        QCOMPARE(shownTitle(), programTitle);
        type("lE_Time", "111111");
        QCOMPARE(shownTitle(), programTitle);
        QVERIFY(m_window->saveProfile("station.ini"));
        QCOMPARE(shownTitle(), "station.ini — " + programTitle);
        // A unit's address alone is a change too.
        const QString address = child<QLineEdit>("lE_1")->text();
        type("lE_1", "7");
        QCOMPARE(shownTitle(), "station.ini* — " + programTitle);
        // Back to what the profile holds: nothing is unsaved.
        type("lE_1", address);
        QCOMPARE(shownTitle(), "station.ini — " + programTitle);
        QVERIFY(writeFileBytes("other.ini", "version=1\n[time]\ntime=01:02:03\n"));
        QVERIFY(m_window->openProfile("other.ini"));
        QCOMPARE(shownTitle(), "other.ini — " + programTitle);
        child<QTabWidget>("tabWidget")->setCurrentIndex(2);
        operatorClick(child<QWidget>("rB_Imp_el_counter"));
        QCOMPARE(shownTitle(), "other.ini* — " + programTitle);
        // A profile that does not open changes nothing, the title included.
        QVERIFY(writeFileBytes("bad.ini", "version=1\n[time]\ntime=25:00:00\n") && !m_window->openProfile("bad.ini"));
        QCOMPARE(shownTitle(), "other.ini* — " + programTitle);
    }

    void clockGoesAsTheCommandGoes_data() {
        QTest::addColumn<bool>("busy");
        QTest::addColumn<bool>("cancelled"); // "Отмена" while the clock waits for the link: it does not go at all
        QTest::newRow("idle link") << false << false;
        QTest::newRow("busy link") << true << false;
        QTest::newRow("busy link, cancelled") << true << true;
    }

    // The workstation's clock goes as the command goes, one reading for time and date, and the fields stay as they are.
    // While the link is busy with an earlier command, the clock is read once that command is done, not at the press.
    void clockGoesAsTheCommandGoes() {
        QFETCH(bool, busy);
        PtyPair line; // a controller that never answers: the first command holds the link for its second of waiting
        SerialThread &worker = m_linked->worker;
        if (busy)
            worker.com_port = line.path();
        QElapsedTimer clock;
        clock.start();
        QList<qint64> readings;
        m_window->setClock([&] {
            readings << clock.elapsed();
            return QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59, 999));
        });
        qint64 firstDone = -1;
        connect(&worker, &SerialThread::signal_transmission_finished, this, [&] {
            if (firstDone < 0)
                firstDone = clock.elapsed();
        });
        QSignalSpy sent(m_window, &MainWindow::signal_data_send);
        child<QTabWidget>("tabWidget")->setCurrentIndex(1);
        if (busy)
            operatorClick(child<QWidget>("pB_Send_2"));
        operatorClick(child<QWidget>("pB_Send_Clock"));
        QCOMPARE(readings.size(), busy ? 0 : 1);
        QFETCH(bool, cancelled);
        if (cancelled) {
            child<QPushButton>("pB_Cancel")->click();
            QTest::qWait(200);
            QCOMPARE(sent.count(), 1);
            QCOMPARE(readings.size(), 0);
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(sent.count(), busy ? 2 : 1, 5000);
        QCOMPARE(readings.size(), 1);
        QVERIFY2(!busy || (firstDone >= 0 && readings[0] >= firstDone), qPrintable(QString::number(firstDone)));
        QCOMPARE(sent.last().first().toByteArray().toHex(' '), QByteArray("43 4d 44 79 17 3b 3b 1f 0c 1a"));
        QCOMPARE(child<QLineEdit>("lE_Time")->text() + ' ' + child<QLineEdit>("lE_Date")->text(),
                 QStringLiteral("00:00:00 01/01/2017"));
        worker.slot_cancel();
    }

private:
    template <typename T> T *child(const QString &name) const { return m_window->findChild<T *>(name); }

    QString shownTitle() const { return m_window->windowHandle()->title(); }

    void type(const QString &field, const QString &text) const {
        auto *edit = child<QLineEdit>(field);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        edit->home(false);
        QTest::keyClicks(edit, text);
    }

    std::unique_ptr<ScopedWorkDir> m_dir;
    std::unique_ptr<LinkedWindow> m_linked; // no port named: each command ends at once
    MainWindow *m_window = nullptr;
};

QTEST_MAIN(tst_comforts)
#include "tst_comforts.moc"
