#ifndef HISTORYPANEL_H
#define HISTORYPANEL_H

#include <QSet>
#include <QTimer>
#include <QWidget>

class AttemptsDelegate;
class TransmissionJournal;

namespace Ui {
class HistoryPanel;
}

// The transmission history: one row per command handed to the link or refused by a value, with what happened on
// each port tried and the exact bytes; rows can be copied as text, the whole history saved to a file and cleared.
class HistoryPanel : public QWidget {
    Q_OBJECT

public:
    explicit HistoryPanel(QWidget *parent = nullptr);
    ~HistoryPanel() override;

    void setJournal(TransmissionJournal *journal);
    // Writes the whole history as CSV, through the same careful path as the program's other files; the notice
    // tells how it went.
    bool saveTo(const QString &path);

signals:
    void notice(const QString &text, const QString &details);

public slots:
    // The selected rows, or all of them when none is selected, to the clipboard.
    void copyRows();
    void chooseFileAndSave();
    void clearFinished();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void fitColumns();
    void fitHeight();
    void markRows(int first, int last);
    void forgetRows(int first, int last);
    void markAll();
    void measure();
    void followNewRows();

    Ui::HistoryPanel *m_ui;
    TransmissionJournal *m_journal = nullptr;
    AttemptsDelegate *m_delegate = nullptr;
    // Rows are measured when they change, and only while the panel shows; a hidden panel only notes which.
    QSet<int> m_unmeasured;
    bool m_measureAll = true;
    QTimer m_measureTimer;
    QString m_folder;
};

#endif // HISTORYPANEL_H
