#include "mainwindow/historypanel.h"

#include "serial/transmissionjournal.h"
#include "ui_historypanel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>

HistoryPanel::HistoryPanel(QWidget *parent) : QWidget(parent), m_ui(new Ui::HistoryPanel) {
    m_ui->setupUi(this);
    m_ui->tV_History->addAction(m_ui->action_copy);
    connect(m_ui->action_copy, &QAction::triggered, this, &HistoryPanel::copyRows);
    connect(m_ui->pB_Copy, &QPushButton::clicked, this, &HistoryPanel::copyRows);
}

HistoryPanel::~HistoryPanel() { delete m_ui; }

void HistoryPanel::setJournal(TransmissionJournal *journal) {
    m_journal = journal;
    QTableView *table = m_ui->tV_History;
    table->setModel(journal);
    // An attempt per line in the port and result cells, so a row is as tall as its ports are many.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    const int widths[] = {70, 300, 80, 240};
    for (int column = 0; column < 4; ++column)
        table->setColumnWidth(column, widths[column]);
    connect(journal, &QAbstractItemModel::rowsInserted, this, &HistoryPanel::followNewRows);
}

void HistoryPanel::followNewRows() { m_ui->tV_History->scrollToBottom(); }

void HistoryPanel::copyRows() {
    if (!m_journal)
        return;
    QList<int> rows;
    for (const QModelIndex &index : m_ui->tV_History->selectionModel()->selectedRows())
        rows << index.row();
    if (rows.isEmpty())
        for (int row = 0; row < m_journal->rowCount(); ++row)
            rows << row;
    std::sort(rows.begin(), rows.end());
    QGuiApplication::clipboard()->setText(m_journal->rowsText(rows));
}
