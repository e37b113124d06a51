#include "mainwindow/attemptsdelegate.h"

#include "serial/transmissionjournal.h"

#include <QApplication>
#include <QPainter>
#include <QTableView>
#include <QTextLayout>
#include <QtMath>

namespace {

constexpr int verticalMargin = 1;

// Port names have no spaces (a /dev/serial/by-id/ path is one long word), so a line may break anywhere.
QTextOption wrapping() {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
}

// Lays the text out within `width`; the height it takes, the lines placed from y 0.
qreal layOut(QTextLayout &layout, int width) {
    layout.setTextOption(wrapping());
    layout.beginLayout();
    qreal height = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        line.setPosition(QPointF(0, height));
        height += line.height();
    }
    layout.endLayout();
    return height;
}

int textHeight(const QString &text, const QFont &font, int width) {
    QTextLayout layout(text, font);
    return qCeil(layOut(layout, width));
}

int textMargin(const QWidget *widget) {
    const QStyle *style = widget ? widget->style() : QApplication::style();
    return style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
}

} // namespace

AttemptsDelegate::AttemptsDelegate(const TransmissionJournal *journal, QTableView *view)
    : QStyledItemDelegate(view), m_journal(journal), m_view(view) {}

bool AttemptsDelegate::isAttemptColumn(int column) const {
    return column == TransmissionJournal::PortColumn || column == TransmissionJournal::OutcomeColumn;
}

int AttemptsDelegate::textWidth(int column) const {
    return qMax(1, m_view->columnWidth(column) - 2 * textMargin(m_view));
}

QVector<AttemptsDelegate::Line> AttemptsDelegate::lines(int row) const {
    const Transmission &transmission = m_journal->transmissions().at(row);
    const QVector<LinkAttempt> &attempts = transmission.attempts;
    QVector<Line> shown;
    if (attempts.isEmpty()) {
        shown.append({QString(), transmission.outcomeText()});
        return shown;
    }
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

int AttemptsDelegate::lineHeight(const Line &line, const QFont &font) const {
    return qMax(textHeight(line.port, font, textWidth(TransmissionJournal::PortColumn)),
                textHeight(line.result, font, textWidth(TransmissionJournal::OutcomeColumn)));
}

QSize AttemptsDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const {
    if (!isAttemptColumn(index.column()))
        return QStyledItemDelegate::sizeHint(option, index);
    int height = 0;
    for (const Line &line : lines(index.row()))
        height += lineHeight(line, option.font);
    return QSize(m_view->columnWidth(index.column()), height + 2 * verticalMargin);
}

void AttemptsDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    if (!isAttemptColumn(index.column())) {
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
    const bool portColumn = index.column() == TransmissionJournal::PortColumn;
    const int width = textWidth(index.column());
    qreal y = option.rect.top() + verticalMargin;
    for (const Line &line : lines(index.row())) {
        QTextLayout layout(portColumn ? line.port : line.result, option.font);
        layOut(layout, width);
        layout.draw(painter, QPointF(option.rect.left() + textMargin(widget), y));
        y += lineHeight(line, option.font);
        if (y > option.rect.bottom())
            break;
    }
    painter->restore();
}
