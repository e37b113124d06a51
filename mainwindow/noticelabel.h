#ifndef NOTICELABEL_H
#define NOTICELABEL_H

#include <QLabel>

// The notice at the right of the status bar. It gives way to the report beside it: given less room than its text
// needs, it paints the text cut with "…" and puts the whole text in its tooltip, above the details. text() stays
// the whole text, so whoever set it can still tell which notice stands.
class NoticeLabel : public QLabel {
    Q_OBJECT

public:
    explicit NoticeLabel(QWidget *parent = nullptr);

    void setNotice(const QString &text, const QString &details);
    bool isElided() const;
    // The width that shows the whole text, and the least that still shows a word's start and "…".
    int fullWidth() const;
    int leastWidth() const;

    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void updateToolTip();

    QString m_details;
};

#endif // NOTICELABEL_H
