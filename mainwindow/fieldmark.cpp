#include "mainwindow/fieldmark.h"

#include <QLineEdit>

#include <memory>

namespace {

const char *const markedProperty = "refused";
const char *const toolTipProperty = "toolTipBeforeRefusal";

// A sheet of the field's own, so that the mark shows whichever sheet the application wears, over its rules.
const QString markSheet =
    QStringLiteral("QLineEdit { border: 2px solid rgb(200, 0, 0); background-color: rgb(255, 225, 225); }");

void unmark(QLineEdit *field) {
    field->setProperty(markedProperty, false);
    field->setStyleSheet(QString());
    field->setToolTip(field->property(toolTipProperty).toString());
}

} // namespace

namespace FieldMark {

void mark(QLineEdit *field, const QString &reason) {
    if (!isMarked(field)) {
        field->setProperty(toolTipProperty, field->toolTip());
        field->setProperty(markedProperty, true);
        field->setStyleSheet(markSheet);
        // The first change of the text, typed or set by a profile, answers the refusal.
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = QObject::connect(field, &QLineEdit::textChanged, field, [field, connection] {
            QObject::disconnect(*connection);
            unmark(field);
        });
    }
    field->setToolTip(reason);
    field->setFocus(Qt::OtherFocusReason);
}

bool isMarked(const QLineEdit *field) { return field->property(markedProperty).toBool(); }

} // namespace FieldMark
