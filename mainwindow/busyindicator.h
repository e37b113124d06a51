#ifndef BUSYINDICATOR_H
#define BUSYINDICATOR_H

#include <QTimer>
#include <QWidget>

namespace Ui {
class BusyIndicator;
}

// In the status bar while the link has work: how many commands are not through yet, and "Отмена".
class BusyIndicator : public QWidget {
    Q_OBJECT

public:
    explicit BusyIndicator(QWidget *parent = nullptr);
    ~BusyIndicator() override;

    // Shown once the link has been busy for a moment, so that a command answered at once does not make the status
    // bar flicker; hidden as soon as nothing is left.
    void setCount(int unfinished);

signals:
    void cancelRequested();

private:
    Ui::BusyIndicator *m_ui;
    QTimer m_showTimer;
};

#endif // BUSYINDICATOR_H
