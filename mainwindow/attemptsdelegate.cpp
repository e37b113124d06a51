#include "mainwindow/attemptsdelegate.h"

#include "serial/transmissionjournal.h"

#include <QApplication>
#include <QHelpEvent>
#include <QPainter>
#include <QTableView>
#include <QTextLayout>
#include <QToolTip>

namespace {

constexpr int verticalMargin = 1;
// A refusal's reason or a long description wraps to as many lines as a search over three ports takes, no more:
// five rows must fit in the docked panel. The cell's tooltip holds the whole text.
constexpr int maxWrappedLines = 3;

int textMargin(const QWidget *widget) {
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

// The lines a text wraps to at the given width, broken where the view's word wrap breaks it.
QStringList wrappedLines(QString text, const QFont &font, int width) {
    text.replace(QLatin1Char('\n'), QChar::LineSeparator);
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    QStringList lines;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength()).trimmed();
    }
    layout.endLayout();
    return lines;
}

} // namespace

QStringList AttemptsDelegate::cutLines(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    // The bytes are what the operator checks against the screen: never cut.
    if (!m_view->wordWrap() || index.column() == TransmissionJournal::BytesColumn)
        return {};
    const int width = m_view->columnWidth(index.column()) - 2 * textMargin(m_view);
    const QString text = index.data(Qt::DisplayRole).toString();
    // Most cells fit on one line; laying them out at every paint would cost the table its speed.
    if (!text.contains(QLatin1Char('\n')) && QFontMetrics(option.font).horizontalAdvance(text) <= width)
        return {};
    QStringList lines = wrappedLines(text, option.font, width);
    if (lines.size() <= maxWrappedLines)
        return {};
    const QStringList rest = lines.mid(maxWrappedLines - 1);
    lines = lines.mid(0, maxWrappedLines - 1);
    lines << QFontMetrics(option.font).elidedText(rest.join(QLatin1Char(' ')), Qt::ElideRight, width);
    return lines;
}

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
    int count = 0;
    if (hasAttemptLines(index))
        count = lines(index.row()).size();
    else if (!(count = cutLines(option, index).size()))
        return QStyledItemDelegate::sizeHint(option, index);
    const int height = count * QFontMetrics(option.font).lineSpacing();
    return QSize(m_view->columnWidth(index.column()), height + 2 * verticalMargin);
}

void AttemptsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    const bool attemptLines = hasAttemptLines(index);
    const QStringList cut = attemptLines ? QStringList() : cutLines(option, index);
    if (!attemptLines && cut.isEmpty()) {
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
    QStringList texts = cut;
    if (attemptLines) {
        for (const Line &attempt : lines(index.row()))
            texts << (portColumn ? attempt.port : attempt.result);
    }
    for (const QString &text : qAsConst(texts)) {
        if (line.top() > option.rect.bottom())
            break;
        painter->drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          metrics.elidedText(text, elide, line.width()));
        line.translate(0, metrics.lineSpacing());
    }
    painter->restore();
}

bool AttemptsDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                                 const QModelIndex &index) {
    if (event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    if (!hasAttemptLines(index)) {
        if (cutLines(option, index).isEmpty())
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        QToolTip::showText(event->globalPos(), index.data().toString(), view->viewport(), option.rect);
        return true;
    }
    QStringList whole;
    for (const Line &attempt : lines(index.row()))
        whole << attempt.port + QStringLiteral(": ") + attempt.result;
    QToolTip::showText(event->globalPos(), whole.join(QLatin1Char('\n')), view->viewport(), option.rect);
    return true;
}
