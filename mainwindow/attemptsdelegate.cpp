#include "mainwindow/attemptsdelegate.h"

#include "serial/transmissionjournal.h"

#include <QApplication>
#include <QPainter>
#include <QTableView>
#include <QtMath>

namespace {

constexpr int verticalMargin = 1;

// Port names have no spaces (a /dev/serial/by-id/ path is one long word), so a line may break anywhere.
QTextOption wrapping() {
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return option;
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

const QStaticText &AttemptsDelegate::laidOut(int column, const QString &text, const QFont &font) const {
    Texts &texts = column == TransmissionJournal::PortColumn ? m_port : m_result;
    const int width = textWidth(column);
    if (width != texts.width || font != m_font) {
        m_port.cache.clear();
        m_result.cache.clear();
        texts.width = width;
        m_font = font;
    }
    if (const QStaticText *known = texts.cache.object(text))
        return *known;
    auto *laid = new QStaticText(text);
    laid->setTextOption(wrapping());
    laid->setTextWidth(width);
    laid->setTextFormat(Qt::PlainText);
    laid->prepare(QTransform(), font);
    texts.cache.insert(text, laid);
    return *laid;
}

int AttemptsDelegate::lineHeight(const Line &line, const QFont &font) const {
    const int port = qCeil(laidOut(TransmissionJournal::PortColumn, line.port, font).size().height());
    return qMax(port, qCeil(laidOut(TransmissionJournal::OutcomeColumn, line.result, font).size().height()));
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
    qreal y = option.rect.top() + verticalMargin;
    painter->setFont(option.font);
    for (const Line &line : lines(index.row())) {
        const int height = lineHeight(line, option.font);
        painter->drawStaticText(QPointF(option.rect.left() + textMargin(widget), y),
                                laidOut(index.column(), portColumn ? line.port : line.result, option.font));
        y += height;
        if (y > option.rect.bottom())
            break;
    }
    painter->restore();
}
