#ifndef STATUSLINE_H
#define STATUSLINE_H

#include <QTimer>
#include <QWidget>

class NoticeLabel;
class QLabel;

// The status bar's one line: the link's report at the left, the busy indicator, and the notice at the right. The
// report is never cut: what the notice and the busy indicator leave is its room, and a report longer than that
// wraps to a second line rather than lose its end. The notice gives way first: it shrinks to a word's start and
// "…", its whole text in the tooltip. Each stays until it is replaced; nothing else clears them.
//
// A search over many dead ports reports thousands of times a second, and laying out each report costs more than
// the link spends on the port. Nobody reads more than a few reports a second, so the line lays out at most one in
// each spell of 50 ms: the first after a quiet spell at once, and the newest of those that came within a spell at
// its end, too soon after the last to be seen as late.
class StatusLine : public QWidget {
    Q_OBJECT

public:
    explicit StatusLine(QWidget *parent = nullptr);

    void setReport(const QString &text);
    QString report() const;
    void setNotice(const QString &text, const QString &details);
    QString notice() const;
    // Placed between the report and the notice; it shows and hides itself.
    void setBusyIndicator(QWidget *busy);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showNewestReport();
    void arrange();
    int busyWidth() const;

    QLabel *m_report = nullptr;
    NoticeLabel *m_notice = nullptr;
    QWidget *m_busy = nullptr;
    QString m_newestReport;
    QTimer m_spell;
};

#endif // STATUSLINE_H
