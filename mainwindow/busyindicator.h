#ifndef BUSYINDICATOR_H
#define BUSYINDICATOR_H

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

    // Hidden when nothing is left.
    void setCount(int unfinished);

signals:
    void cancelRequested();

private:
    Ui::BusyIndicator *m_ui;
};

#endif // BUSYINDICATOR_H
