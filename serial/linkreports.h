#ifndef LINKREPORTS_H
#define LINKREPORTS_H

#include <QString>

// The link worker's reports as the status bar shows them, shared with the command-line sender so that both
// say the same words.
QString openedReport(const QString &name, int baud, int lenght, quint8 parity, int stopbit, const QString &xof);
QString notOpenedReport(const QString &name);

#endif // LINKREPORTS_H
