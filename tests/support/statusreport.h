#ifndef STATUSREPORT_H
#define STATUSREPORT_H

#include <QLabel>
#include <QWidget>

// The report that the window's status bar shows at its left.
inline QString reportText(const QWidget &window) {
    const auto *report = window.findChild<QLabel *>(QStringLiteral("reportLabel"));
    return report ? report->text() : QStringLiteral("<no report label>");
}

// The notice beside it, for what went wrong apart from the command at hand.
inline QLabel *noticeOf(const QWidget &window) { return window.findChild<QLabel *>(QStringLiteral("noticeLabel")); }

#endif // STATUSREPORT_H
