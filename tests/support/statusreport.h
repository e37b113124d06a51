#ifndef STATUSREPORT_H
#define STATUSREPORT_H

#include "mainwindow/statusline.h"

#include <QLabel>
#include <QTest>
#include <QWidget>

// The report that the window's status bar shows at its left, once the newest one is shown.
inline QString reportText(const QWidget &window) {
    const auto *report = window.findChild<QLabel *>(QStringLiteral("reportLabel"));
    const auto *line = window.findChild<StatusLine *>();
    if (!report || !line)
        return QStringLiteral("<no report label>");
    if (!QTest::qWaitFor([&] { return report->text() == line->report(); }, 1000))
        return QStringLiteral("<still not shown: ") + line->report() + QLatin1Char('>');
    return report->text();
}

// The notice beside it, for what went wrong apart from the command at hand.
inline QLabel *noticeOf(const QWidget &window) { return window.findChild<QLabel *>(QStringLiteral("noticeLabel")); }

#endif // STATUSREPORT_H
