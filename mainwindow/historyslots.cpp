#include "mainwindow/mainwindow.h"

#include "mainwindow/busyindicator.h"
#include "mainwindow/historypanel.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"
#include "ui_mainwindow.h"

#include <QAction>
#include <QDockWidget>
#include <QStatusBar>

// The history is hidden at start, so the window keeps its size and still fits a 1366×768 screen; its menu entry
// stands with the other new ones above the connection settings. Its panel is built when it is first opened, and the
// busy indicator when the first command goes out, so a start does not pay for what it does not show.
void MainWindow::setUpHistory() {
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

void MainWindow::showUnfinished(int count) {
    if (!m_busy && count == 0)
        return;
    if (!m_busy) {
        m_busy = new BusyIndicator(this);
        statusBar()->insertPermanentWidget(0, m_busy);
        connect(m_busy, &BusyIndicator::cancelRequested, this, &MainWindow::cancelTransmissions);
    }
    m_busy->setCount(count);
}

void MainWindow::cancelTransmissions() {
    if (!m_worker || !m_journal)
        return;
    const int dropped = m_journal->unfinishedCount();
    m_worker->slot_cancel();
    showNotice(QStringLiteral("Отправка отменена, порт закрыт; снято команд: %1").arg(dropped));
}

// The window's commands go to the worker and the worker's reports to the status bar; the journal connects after the
// window, so a report stands in the status bar before the history shows it.
void MainWindow::attachLink(SerialThread *worker) {
    connect(this, &MainWindow::signal_data_send, worker, &SerialThread::slot_data_send);
    connect(worker, &SerialThread::signal_port_opend, this, &MainWindow::slot_port_opend);
    connect(worker, &SerialThread::signal_port_notopend, this, &MainWindow::slot_port_notopend);
    connect(worker, &SerialThread::signal_show_message, this, &MainWindow::slot_show_message);
    connect(worker, &SerialThread::signal_no_port_found, this, &MainWindow::slot_no_port_found);
    m_worker = worker;
    m_journal = new TransmissionJournal(worker, this);
    if (m_history)
        m_history->setJournal(m_journal);
    connect(m_journal, &TransmissionJournal::unfinishedCountChanged, this, &MainWindow::showUnfinished);
}
