#ifndef HISTORYCSV_H
#define HISTORYCSV_H

#include "serial/transmissionjournal.h"

#include <QByteArray>

// The transmission history as a table file: UTF-8 with a byte-order mark, fields apart by semicolons, lines ended
// by CR LF, a field quoted when it holds a semicolon, a quote or a line end. That is what a spreadsheet on a
// Russian Windows opens by a double click with the Cyrillic intact and each column in its own column. One line per
// transmission under a header line: the date and time it was queued, the command in words, the ports tried, each
// port with what happened on it (or the refusal of a command that never went out) and the bytes in hex.
QByteArray historyCsv(const QVector<Transmission> &transmissions);

#endif // HISTORYCSV_H
