#include "mainwindow/noticelabel.h"

#include <QPainter>
#include <QStyleOption>

namespace {

// Enough of the notice to tell one from another ("Настр…") and to be pointed at for the tooltip.
constexpr int leastCharacters = 6;

int horizontalMargins(const QLabel *label) {
    const QMargins margins = label->contentsMargins();
    return margins.left() + margins.right() + 2 * label->margin();
}

} // namespace

NoticeLabel::NoticeLabel(QWidget *parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void NoticeLabel::setNotice(const QString &text, const QString &details) {
    m_details = details;
    setText(text);
    updateToolTip();
    updateGeometry();
    update();
}

int NoticeLabel::fullWidth() const {
    return text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(text()) + horizontalMargins(this) + 1;
}

int NoticeLabel::leastWidth() const {
    if (text().isEmpty())
        return 0;
    const QString start = text().left(leastCharacters) + QChar(0x2026);
    return qMin(fullWidth(), fontMetrics().horizontalAdvance(start) + horizontalMargins(this) + 1);
}

// A label that is not on screen cuts nothing yet; its tooltip is settled once it shows.
bool NoticeLabel::isElided() const {
    return isVisible() && fontMetrics().horizontalAdvance(text()) > contentsRect().width() - 2 * margin();
}

QSize NoticeLabel::minimumSizeHint() const { return QSize(leastWidth(), QLabel::minimumSizeHint().height()); }

void NoticeLabel::paintEvent(QPaintEvent *) {
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideRight, room.width());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

void NoticeLabel::resizeEvent(QResizeEvent *event) {
    QLabel::resizeEvent(event);
    updateToolTip();
}

void NoticeLabel::showEvent(QShowEvent *event) {
    QLabel::showEvent(event);
    updateToolTip();
}

void NoticeLabel::updateToolTip() {
    if (!isElided() || text().isEmpty())
        setToolTip(m_details);
    else
        setToolTip(m_details.isEmpty() ? text() : text() + QLatin1Char('\n') + m_details);
}
