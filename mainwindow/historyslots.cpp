#include "mainwindow/mainwindow.h"

#include "mainwindow/busyindicator.h"
#include "mainwindow/historypanel.h"
#include "mainwindow/statusline.h"
#include "serial/serialthread.h"
#include "serial/transmissionjournal.h"
#include "ui_mainwindow.h"

#include <QDockWidget>
#include <QStatusBar>

// The history is hidden at start, so the window keeps its size and still fits a 1366×768 screen; its menu entry
// stands with the other new ones above the connection settings.
void MainWindow::setUpHistory() {
    m_busy = new BusyIndicator(this);
    m_status->setBusyIndicator(m_busy);
    m_history = new HistoryPanel;
    auto *dock = new QDockWidget(QStringLiteral("История передач"), this);
    dock->setObjectName(QStringLiteral("dW_History"));
    dock->setWidget(m_history);
    addDockWidget(Qt::BottomDockWidgetArea, dock);
    dock->hide();
    QAction *toggle = dock->toggleViewAction();
    toggle->setObjectName(QStringLiteral("action_history"));
    toggle->setText(QStringLiteral("История передач"));
    toggle->setShortcut(QKeySequence(QStringLiteral("Ctrl+H")));
    m_ui->menu->insertAction(m_ui->action_settings, toggle);
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
