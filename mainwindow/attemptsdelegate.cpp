#include "mainwindow/attemptsdelegate.h"

#include "serial/transmissionjournal.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTableView>
#include <QToolTip>

namespace {

constexpr int verticalMargin = 1;

int textMargin(const QWidget *widget) {
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

} // namespace

AttemptsDelegate::AttemptsDelegate(const TransmissionJournal *journal, QTableView *view)
    : QStyledItemDelegate(view), m_journal(journal), m_view(view) {}

bool AttemptsDelegate::hasAttemptLines(const QModelIndex &index) const {
    return (index.column() == TransmissionJournal::PortColumn ||
            index.column() == TransmissionJournal::OutcomeColumn) &&
           !m_journal->transmissions().at(index.row()).attempts.isEmpty();
}

QVector<AttemptsDelegate::Line> AttemptsDelegate::lines(int row) const {
    const QVector<LinkAttempt> &attempts = m_journal->transmissions().at(row).attempts;
    QVector<Line> shown;
    int first = 0;
    if (attempts.size() > maxShownAttempts) {
        first = attempts.size() - (maxShownAttempts - 1);
        shown.append({QStringLiteral("…"),
                      QStringLiteral("ранее портов: %1 (все они — при копировании и в сохранённом файле)").arg(first)});
    }
    for (int i = first; i < attempts.size(); ++i)
        shown.append({attempts.at(i).port,
                      attempts.at(i).result.isEmpty() ? QStringLiteral("ждёт ответа") : attempts.at(i).result});
    return shown;
}

QSize AttemptsDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    if (!hasAttemptLines(index))
        return QStyledItemDelegate::sizeHint(option, index);
    const int height = lines(index.row()).size() * QFontMetrics(option.font).lineSpacing();
    return QSize(m_view->columnWidth(index.column()), height + 2 * verticalMargin);
}

void AttemptsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    if (!hasAttemptLines(index)) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, widget);
    const QPalette::ColorGroup group = option.state & QStyle::State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setClipRect(option.rect);
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    painter->setFont(option.font);
    const QFontMetrics metrics(option.font);
    const bool portColumn = index.column() == TransmissionJournal::PortColumn;
    // A port's distinctive part may be at either end (/dev/serial/by-id/usb-…-port0), a reason's start says most.
    const Qt::TextElideMode elide = portColumn ? Qt::ElideMiddle : Qt::ElideRight;
    const int margin = textMargin(widget);
    QRect line(option.rect.left() + margin, option.rect.top() + verticalMargin, option.rect.width() - 2 * margin,
               metrics.lineSpacing());
    for (const Line &attempt : lines(index.row())) {
        if (line.top() > option.rect.bottom())
            break;
        const QString &text = portColumn ? attempt.port : attempt.result;
        painter->drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          metrics.elidedText(text, elide, line.width()));
        line.translate(0, metrics.lineSpacing());
    }
    painter->restore();
}

bool AttemptsDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) {
    if (event->type() != QEvent::ToolTip || !index.isValid() || !hasAttemptLines(index))
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QStringList whole;
    for (const Line &attempt : lines(index.row()))
        whole << attempt.port + QStringLiteral(": ") + attempt.result;
    QToolTip::showText(event->globalPos(), whole.join(QLatin1Char('\n')), view->viewport(), option.rect);
    return true;
}
