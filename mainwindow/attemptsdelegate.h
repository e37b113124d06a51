#ifndef ATTEMPTSDELEGATE_H
#define ATTEMPTSDELEGATE_H

#include <QStyledItemDelegate>

class QTableView;
class TransmissionJournal;

// Draws the history's port and result columns attempt by attempt, one line each, so that a port is always level
// with its own result and a search over three ports takes three lines however long its reasons: five such rows fit
// in the panel docked to a window 720 pixels high. A text wider than its column is cut with "…"; the cell's tooltip
// holds each attempt whole, as copying and saving do. A search over many ports shows its last attempts under one
// line that counts the others; copying and saving keep them all. The cells are laid out from the journal's
// attempts, never from the joined text of all of them, so that drawing and measuring a row costs the same however
// many ports its search walked. A row without attempts (refused, queued, no port at all) has only its outcome,
// which wraps as the other columns do, to three lines at most.
class AttemptsDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The most attempt lines a cell shows; beyond, the first of them counts the ones left out.
    static constexpr int maxShownAttempts = 8;

    AttemptsDelegate(const TransmissionJournal *journal, QTableView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;

    struct Line {
        QString port;
        QString result;
    };
    // What the port and result columns of a row show, one entry per attempt line; none for a row without attempts.
    QVector<Line> lines(int row) const;
    // The lines a text without attempts shows when it wraps to more than fit, the last one cut; none when it fits.
    QStringList cutLines(const QStyleOptionViewItem &option, const QModelIndex &index) const;

private:
    bool hasAttemptLines(const QModelIndex &index) const;

    const TransmissionJournal *m_journal;
    QTableView *m_view;
};

#endif // ATTEMPTSDELEGATE_H
