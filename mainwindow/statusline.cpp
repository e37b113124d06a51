#include "mainwindow/statusline.h"

#include "mainwindow/noticelabel.h"

#include <QEvent>
#include <QLabel>

namespace {

constexpr int gap = 6;
constexpr int spellMs = 50;

int horizontalMargins(const QLabel *label) {
    const QMargins margins = label->contentsMargins();
    return margins.left() + margins.right() + 2 * label->margin();
}

// The report's width on one line, every line of it when it holds several.
int oneLineWidth(const QLabel *label) {
    if (label->text().isEmpty())
        return 0;
    int widest = 0;
    for (const QString &line : label->text().split(QLatin1Char('\n')))
        widest = qMax(widest, label->fontMetrics().horizontalAdvance(line));
    return widest + horizontalMargins(label) + 2;
}

} // namespace

StatusLine::StatusLine(QWidget *parent) : QWidget(parent) {
    m_report = new QLabel(this);
    m_report->setObjectName(QStringLiteral("reportLabel"));
    m_report->setTextFormat(Qt::PlainText);
    m_report->setWordWrap(true);
    m_report->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // A label that a style sheet gives a frame (padding, a margin, a border) would otherwise indent its text by an "x"
    // more, which the room measured for one line does not count.
    m_report->setIndent(0);
    m_notice = new NoticeLabel(this);
    m_notice->setObjectName(QStringLiteral("noticeLabel"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_spell.setSingleShot(true);
    m_spell.setInterval(spellMs);
    connect(&m_spell, &QTimer::timeout, this, [this] {
        if (m_report->text() != m_newestReport)
            showNewestReport();
    });
}

void StatusLine::setReport(const QString &text) {
    m_newestReport = text;
    if (!m_spell.isActive())
        showNewestReport();
}

QString StatusLine::report() const { return m_newestReport; }

void StatusLine::showNewestReport() {
    m_report->setText(m_newestReport);
    arrange();
    m_spell.start();
}

void StatusLine::setNotice(const QString &text, const QString &details) {
    m_notice->setNotice(text, details);
    arrange();
}

QString StatusLine::notice() const { return m_notice->text(); }

void StatusLine::setBusyIndicator(QWidget *busy) {
    m_busy = busy;
    busy->setParent(this);
    busy->installEventFilter(this);
    arrange();
}

// The window's width is not this line's to decide: a long report wraps and a long notice shrinks instead.
QSize StatusLine::sizeHint() const {
    return QSize(oneLineWidth(m_report) + busyWidth() + m_notice->fullWidth() + 2 * gap, minimumHeight());
}

QSize StatusLine::minimumSizeHint() const { return QSize(0, minimumHeight()); }

void StatusLine::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    arrange();
}

bool StatusLine::eventFilter(QObject *watched, QEvent *event) {
    if (watched == m_busy && (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent))
        arrange();
    return QWidget::eventFilter(watched, event);
}

int StatusLine::busyWidth() const { return m_busy && !m_busy->isHidden() ? m_busy->sizeHint().width() : 0; }

// One row when the report, the busy indicator and the least of the notice fit side by side; otherwise the report
// has the first row to itself, wrapped if even that is too narrow, and the others stand below it at the right.
void StatusLine::arrange() {
    const int width = this->width();
    const int busy = busyWidth();
    const int busyGap = busy > 0 ? gap : 0;
    const int noticeLeast = m_notice->leastWidth();
    const int noticeFull = m_notice->fullWidth();
    const int noticeGap = noticeLeast > 0 ? gap : 0;
    const int reportWant = oneLineWidth(m_report);
    const int reportGap = reportWant > 0 && busy + noticeLeast > 0 ? gap : 0;
    const bool oneRow = reportWant + reportGap + busy + busyGap + noticeLeast <= width;

    const int lineHeight = qMax(fontMetrics().height(), m_notice->sizeHint().height());
    const int busyHeight = busy > 0 ? m_busy->sizeHint().height() : 0;
    const int othersHeight = qMax(lineHeight, busyHeight);
    const int othersWidth = oneRow ? width - reportWant - reportGap : width;
    const int noticeWidth =
        qBound(qMin(noticeLeast, othersWidth), othersWidth - busy - busyGap - noticeGap, noticeFull);
    const int reportWidth = oneRow ? width - (busy + busyGap + noticeWidth + noticeGap) : width;
    const int reportHeight = reportWant > 0 ? qMax(lineHeight, m_report->heightForWidth(qMax(1, reportWidth))) : 0;
    const bool othersShown = busy + noticeLeast > 0;
    const int height =
        oneRow ? qMax(qMax(reportHeight, othersHeight), lineHeight) : reportHeight + (othersShown ? othersHeight : 0);
    // A taller line makes the status bar taller; the layouts above ask again and come back here with the same width.
    if (minimumHeight() != height) {
        setMinimumHeight(height);
        updateGeometry();
    }

    const int rowHeight = oneRow ? qMax(height, this->height()) : othersHeight;
    const int othersTop = oneRow ? 0 : reportHeight;
    m_report->setGeometry(0, 0, reportWidth, oneRow ? rowHeight : reportHeight);
    m_notice->setGeometry(width - noticeWidth, othersTop, noticeWidth, rowHeight);
    if (busy > 0)
        m_busy->setGeometry(width - noticeWidth - noticeGap - busy, othersTop + (rowHeight - busyHeight) / 2, busy,
                            busyHeight);
}
