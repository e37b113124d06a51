#ifndef ATTEMPTSDELEGATE_H
#define ATTEMPTSDELEGATE_H

#include <QCache>
#include <QStaticText>
#include <QStyledItemDelegate>

class QTableView;
class TransmissionJournal;

// Draws the history's port and result columns attempt by attempt: each attempt takes as many lines as the longer
// of its port and its result needs when wrapped, so a port stays level with its own result. A search over many
// ports shows its last attempts under one line that counts the others; copying and saving keep them all. The
// cells are laid out from the journal's attempts, never from the joined text of all of them, so that drawing and
// measuring a row costs the same however many ports its search walked. Each text is laid out once for its column's
// width and kept: a search repaints its row after every stretch of ports, and its shown lines are mostly the same.
class AttemptsDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    // The most attempt lines a cell shows; beyond, the first of them counts the ones left out.
    static constexpr int maxShownAttempts = 8;

    AttemptsDelegate(const TransmissionJournal *journal, QTableView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    struct Line {
        QString port;
        QString result;
    };
    // What the port and result columns of a row show, one entry per attempt line.
    QVector<Line> lines(int row) const;

private:
    bool isAttemptColumn(int column) const;
    int textWidth(int column) const;
    int lineHeight(const Line &line, const QFont &font) const;
    // The text laid out for the column's width; valid until the next call.
    const QStaticText &laidOut(int column, const QString &text, const QFont &font) const;

    const TransmissionJournal *m_journal;
    QTableView *m_view;
    struct Texts {
        int width = -1;
        QCache<QString, QStaticText> cache{400};
    };
    mutable Texts m_port;
    mutable Texts m_result;
    mutable QFont m_font;
};

#endif // ATTEMPTSDELEGATE_H
