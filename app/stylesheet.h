#ifndef STYLESHEET_H
#define STYLESHEET_H

#include <QString>

// The style sheet text of a resource, read as Latin-1 up to the first zero byte; empty when the
// resource cannot be opened.
QString readStyleSheet(const QString &path);

#endif // STYLESHEET_H
