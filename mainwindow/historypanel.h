#ifndef HISTORYPANEL_H
#define HISTORYPANEL_H

#include <QWidget>

class TransmissionJournal;

namespace Ui {
class HistoryPanel;
}

// The transmission history: one row per command handed to the link, with what happened on each port tried and
// the exact bytes; rows can be copied as text.
class HistoryPanel : public QWidget {
    Q_OBJECT

public:
    explicit HistoryPanel(QWidget *parent = nullptr);
    ~HistoryPanel() override;

    void setJournal(TransmissionJournal *journal);

public slots:
    // The selected rows, or all of them when none is selected, to the clipboard.
    void copyRows();

private:
    void followNewRows();

    Ui::HistoryPanel *m_ui;
    TransmissionJournal *m_journal = nullptr;
};

#endif // HISTORYPANEL_H
