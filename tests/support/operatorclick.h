#ifndef OPERATORCLICK_H
#define OPERATORCLICK_H

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

// Clicks a widget where an operator would: a check box or radio button on its indicator, since a box widened by
// its layout ignores clicks on the empty part right of its text; anything else in its middle.
inline void operatorClick(QWidget *widget) {
    const bool box = qobject_cast<QCheckBox *>(widget) || qobject_cast<QRadioButton *>(widget);
    QTest::mouseClick(widget, Qt::LeftButton, {}, box ? QPoint(8, widget->height() / 2) : QPoint());
}

#endif // OPERATORCLICK_H
