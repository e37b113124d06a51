#ifndef LINKREPORTS_H
#define LINKREPORTS_H

#include <QString>

// The link worker's reports as the status bar shows them, shared with the command-line sender so that both
// say the same words.
QString openedReport(const QString &name, int baud, int lenght, quint8 parity, int stopbit, const QString &xof);
// An empty name is no port at all (automatic search off and none chosen): the report says what to do instead.
QString notOpenedReport(const QString &name);
// The automatic search listed no serial port at all.
QString noPortReport();

#endif // LINKREPORTS_H
