#ifndef PAGESCROLLAREA_H
#define PAGESCROLLAREA_H

#include <QScrollArea>

class QStackedWidget;

// Holds the station tab's pages, so that they scroll on a screen too small for them while the radio buttons
// above and the send button below stay in view.
class PageScrollArea : public QScrollArea {
    Q_OBJECT

public:
    using QScrollArea::QScrollArea;

    // From now on only the page shown decides whether there is anything to scroll.
    void followCurrentPage();

    // Room to show every page whole. A plain scroll area caps its wish at a few lines of text, and the window
    // would then scroll where the screen has room to spare.
    QSize sizeHint() const override;

private:
    QStackedWidget *pages() const;
    void measureCurrentPageOnly();
};

#endif // PAGESCROLLAREA_H
