#include "mainwindow/mainwindow.h"

#include "mainwindow/busyindicator.h"
#include "mainwindow/historypanel.h"
#include "mainwindow/statusline.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDockWidget>
#include <QStatusBar>

// The history is hidden at start, so the window keeps its size and still fits a 1366×768 screen; its menu entry
// stands with the other new ones above the connection settings. Its panel is built when it is first opened, so a
// start does not pay for a table that most sessions never show.
void MainWindow::setUpHistory() {
    m_busy = new BusyIndicator(this);
    m_status->setBusyIndicator(m_busy);
    m_historyAction = new QAction(QStringLiteral("История передач"), this);
    m_historyAction->setObjectName(QStringLiteral("action_history"));
    m_historyAction->setCheckable(true);
    m_historyAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    m_ui->menu->insertAction(m_ui->action_settings, m_historyAction);
    connect(m_historyAction, &QAction::toggled, this, &MainWindow::showHistory);
}

void MainWindow::showHistory(bool shown) {
    if (shown && !m_historyDock)
        buildHistory();
    if (m_historyDock)
        m_historyDock->setVisible(shown);
}

void MainWindow::buildHistory() {
    m_history = new HistoryPanel;
    if (m_journal)
        m_history->setJournal(m_journal);
    connect(m_history, &HistoryPanel::notice, this, &MainWindow::showNotice);
    m_historyDock = new QDockWidget(QStringLiteral("История передач"), this);
    m_historyDock->setObjectName(QStringLiteral("dW_History"));
    m_historyDock->setWidget(m_history);
    m_historyDock->hide();
    addDockWidget(Qt::BottomDockWidgetArea, m_historyDock);
    // The dock's own close button unchecks the menu entry.
    connect(m_historyDock->toggleViewAction(), &QAction::toggled, m_historyAction, &QAction::setChecked);
}

// The window's commands go to the worker and the worker's reports to the status bar; the journal connects after the
// window, so a report stands in the status bar before the history shows it.
void MainWindow::attachLink(SerialThread *worker) {
    connect(this, &MainWindow::signal_data_send, worker, &SerialThread::slot_data_send);
    connect(worker, &SerialThread::signal_port_opend, this, &MainWindow::slot_port_opend);
    connect(worker, &SerialThread::signal_port_notopend, this, &MainWindow::slot_port_notopend);
    connect(worker, &SerialThread::signal_show_message, this, &MainWindow::slot_show_message);
    connect(worker, &SerialThread::signal_no_port_found, this, &MainWindow::slot_no_port_found);
    auto *journal = new TransmissionJournal(worker, this);
    m_journal = journal;
    if (m_history)
        m_history->setJournal(journal);
    connect(journal, &TransmissionJournal::unfinishedCountChanged, m_busy, &BusyIndicator::setCount);
    connect(journal, &TransmissionJournal::unfinishedCountChanged, this, &MainWindow::linkBusyChanged);
    static const QString cancelled = QStringLiteral("Отправка отменена");
    connect(m_busy, &BusyIndicator::cancelRequested, this, [this, worker, journal] {
        m_clockDue = false;
        const int dropped = journal->unfinishedCount();
        worker->slot_cancel();
        showNotice(cancelled + QStringLiteral(", порт закрыт; снято команд: %1").arg(dropped));
    });
    // Once a new command is on its way, the cancel is history and would read as that command's fate.
    connect(worker, &SerialThread::signal_transmission_started, this, [this] {
        if (m_status->notice().startsWith(cancelled))
            showNotice(QString());
    });
}
