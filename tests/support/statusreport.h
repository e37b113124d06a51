#ifndef STATUSREPORT_H
#define STATUSREPORT_H

#include <QLabel>
#include <QWidget>

// The report that the window's status bar shows at its left.
inline QString reportText(const QWidget &window) {
    const auto *report = window.findChild<QLabel *>(QStringLiteral("reportLabel"));
    return report ? report->text() : QStringLiteral("<no report label>");
}

#endif // STATUSREPORT_H
