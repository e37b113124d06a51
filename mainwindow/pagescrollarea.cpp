#include "mainwindow/pagescrollarea.h"

#include <QEvent>
#include <QStackedWidget>

void PageScrollArea::followCurrentPage() {
    if (QStackedWidget *stack = pages()) {
        connect(stack, &QStackedWidget::currentChanged, this, &PageScrollArea::measureCurrentPageOnly);
        measureCurrentPageOnly();
    }
}

// A stack is as large as its largest page; a hidden page that ignores its size leaves the shorter one unscrolled.
void PageScrollArea::measureCurrentPageOnly() {
    QStackedWidget *stack = pages();
    for (int i = 0; i < stack->count(); ++i) {
        QWidget *page = stack->widget(i);
        const auto policy = i == stack->currentIndex() ? QSizePolicy::Preferred : QSizePolicy::Ignored;
        page->setSizePolicy(policy, policy);
    }
    stack->updateGeometry();
    QEvent relayout(QEvent::LayoutRequest);
    event(&relayout);
}

// Only the pages' stretches are left out: a page at its least size shows all of it.
QSize PageScrollArea::sizeHint() const {
    if (!widget())
        return QScrollArea::sizeHint();
    QSize whole = widget()->minimumSizeHint();
    if (QStackedWidget *stack = pages()) {
        for (int i = 0; i < stack->count(); ++i)
            whole = whole.expandedTo(stack->widget(i)->minimumSizeHint());
    }
    const int frame = 2 * frameWidth();
    return whole + QSize(frame, frame);
}

QStackedWidget *PageScrollArea::pages() const { return qobject_cast<QStackedWidget *>(widget()); }
