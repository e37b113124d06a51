#ifndef WHOLEFILE_H
#define WHOLEFILE_H

#include "workfiles/fileresult.h"

#include <QByteArray>
#include <QString>

// Replaces the file at `path` with `content`, or creates it: whole or not at all. The content goes to a new file
// beside the old one, which a rename puts in place once it is wholly on disk, so a full disk or a crash leaves the
// old file as it was. Never writes through a symbolic link, never replaces anything but a regular file, and
// leaves alone a file the operator has made read-only; a replaced file keeps its owner and mode.
FileResult replaceWholeFile(const QString &path, const QByteArray &content);

#endif // WHOLEFILE_H
