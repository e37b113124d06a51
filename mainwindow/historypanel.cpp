#include "mainwindow/historypanel.h"

#include "mainwindow/attemptsdelegate.h"
#include "mainwindow/savepathdialog.h"
#include "serial/historycsv.h"
#include "serial/transmissionjournal.h"
#include "ui_historypanel.h"
#include "workfiles/safefile.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>

namespace {

// Room for a header line and five rows of three lines: a search over three ports, or a command that wraps to three
// lines in a window of the least width.
constexpr int shownRows = 5;
constexpr int linesPerRow = 3;

} // namespace

HistoryPanel::HistoryPanel(QWidget *parent) : QWidget(parent), m_ui(new Ui::HistoryPanel) {
    m_ui->setupUi(this);
    m_ui->tV_History->addAction(m_ui->action_copy);
    connect(m_ui->action_copy, &QAction::triggered, this, &HistoryPanel::copyRows);
    connect(m_ui->pB_Copy, &QPushButton::clicked, this, &HistoryPanel::copyRows);
    connect(m_ui->pB_Save, &QPushButton::clicked, this, &HistoryPanel::chooseFileAndSave);
    connect(m_ui->pB_Clear, &QPushButton::clicked, this, &HistoryPanel::clearFinished);
    m_measureTimer.setSingleShot(true);
    connect(&m_measureTimer, &QTimer::timeout, this, &HistoryPanel::measure);
}

HistoryPanel::~HistoryPanel() { delete m_ui; }

void HistoryPanel::setJournal(TransmissionJournal *journal) {
    m_journal = journal;
    QTableView *table = m_ui->tV_History;
    table->setModel(journal);
    m_delegate = new AttemptsDelegate(journal, table);
    table->setItemDelegate(m_delegate);
    fitColumns();
    // A row is as tall as its wrapped texts; each is measured once when it changes, never all of them at every
    // change, so a transmission costs the same with a long history as with a short one.
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    const int line = fontMetrics().lineSpacing();
    table->verticalHeader()->setDefaultSectionSize(line + 4);
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() + shownRows * (linesPerRow * line + 4) +
                            2 * table->frameWidth());
    connect(journal, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first, int last) {
        markRows(first, last);
        followNewRows();
    });
    connect(journal, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                markRows(topLeft.row(), bottomRight.row());
            });
    connect(journal, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex &, int first, int last) { forgetRows(first, last); });
    connect(journal, &QAbstractItemModel::modelReset, this, &HistoryPanel::markAll);
    connect(table->horizontalHeader(), &QHeaderView::sectionResized, this, &HistoryPanel::markAll);
    markAll();
}

// The time and the port take what they need; the command, the result and the bytes share the rest and wrap, so
// the bytes are seen whole without scrolling sideways however narrow the window.
void HistoryPanel::fitColumns() {
    QHeaderView *header = m_ui->tV_History->horizontalHeader();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(fontMetrics().horizontalAdvance(QStringLiteral("00 00 00")));
    const int margins = 4 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1);
    const struct {
        int column;
        QString widest;
    } fixed[] = {{TransmissionJournal::TimeColumn, QStringLiteral("00:00:00")},
                 {TransmissionJournal::PortColumn, QStringLiteral("/dev/ttyUSB0")}};
    for (const auto &column : fixed) {
        header->setSectionResizeMode(column.column, QHeaderView::Fixed);
        header->resizeSection(column.column, fontMetrics().horizontalAdvance(column.widest) + margins);
    }
    for (int column :
         {TransmissionJournal::CommandColumn, TransmissionJournal::OutcomeColumn, TransmissionJournal::BytesColumn})
        header->setSectionResizeMode(column, QHeaderView::Stretch);
}

// A hidden panel keeps no list: it measures every row once when it shows again.
void HistoryPanel::markRows(int first, int last) {
    if (!isVisible()) {
        m_measureAll = true;
        return;
    }
    for (int row = first; row <= last; ++row)
        m_unmeasured.insert(row);
    if (!m_measureTimer.isActive())
        m_measureTimer.start(0);
}

// Rows that left the journal take their marks with them, and the marks below them move up.
void HistoryPanel::forgetRows(int first, int last) {
    if (m_unmeasured.isEmpty())
        return;
    QSet<int> moved;
    const int count = last - first + 1;
    for (int row : qAsConst(m_unmeasured))
        if (row < first)
            moved.insert(row);
        else if (row > last)
            moved.insert(row - count);
    m_unmeasured = moved;
}

void HistoryPanel::markAll() {
    m_measureAll = true;
    m_unmeasured.clear();
    if (isVisible() && !m_measureTimer.isActive())
        m_measureTimer.start(0);
}

// In the style sheet's font, which the table has only once it is polished.
void HistoryPanel::fitHeight() {
    QTableView *table = m_ui->tV_History;
    table->ensurePolished();
    const int line = table->fontMetrics().lineSpacing();
    table->verticalHeader()->setDefaultSectionSize(line + 4);
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() + shownRows * (linesPerRow * line + 4) +
                            2 * table->frameWidth());
}

void HistoryPanel::showEvent(QShowEvent *event) {
    fitHeight();
    QWidget::showEvent(event);
    m_measureTimer.start(0);
}

void HistoryPanel::measure() {
    if (!m_journal || !isVisible())
        return;
    QTableView *table = m_ui->tV_History;
    const int rows = m_journal->rowCount();
    if (m_measureAll) {
        for (int row = 0; row < rows; ++row)
            table->resizeRowToContents(row);
    } else {
        for (int row : qAsConst(m_unmeasured))
            if (row < rows)
                table->resizeRowToContents(row);
    }
    m_measureAll = false;
    m_unmeasured.clear();
    followNewRows();
}

// The table takes new row heights into its scroll range only on a timer of its own; it is asked to do so first, so
// that the last row is shown whole.
void HistoryPanel::followNewRows() {
    if (!isVisible())
        return;
    QMetaObject::invokeMethod(m_ui->tV_History, "updateGeometries");
    m_ui->tV_History->scrollToBottom();
}

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

void HistoryPanel::chooseFileAndSave() {
    const QString path = chooseSavePath(this, QStringLiteral("Сохранить историю передач"), m_folder,
                                        QStringLiteral("Таблицы CSV (*.csv);;Все файлы (*)"), QStringLiteral("csv"));
    if (!path.isEmpty())
        saveTo(path);
}

bool HistoryPanel::saveTo(const QString &path) {
    m_folder = QFileInfo(path).absolutePath();
    const FileResult result =
        SafeFile::replace(path, historyCsv(m_journal ? m_journal->transmissions() : QVector<Transmission>()));
    if (!result.ok()) {
        emit notice(QStringLiteral("История не сохранена: ") + result.reason, result.details());
        return false;
    }
    emit notice(QStringLiteral("История сохранена: ") + QFileInfo(path).fileName(),
                QDir::toNativeSeparators(result.path));
    return true;
}

void HistoryPanel::clearFinished() {
    if (m_journal)
        m_journal->clearFinished();
}
