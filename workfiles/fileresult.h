#ifndef FILERESULT_H
#define FILERESULT_H

#include <QString>

// What became of reading or writing one file, for the notice at the right of the status bar: an empty reason
// when all went well.
struct FileResult {
    QString path;   // absolute, as the operator would look for it
    QString reason; // the system's reason, or the program's own when it refuses the file

    bool ok() const { return reason.isEmpty(); }
    // The path and the reason, for the notice's tooltip.
    QString details() const;

    static FileResult success(const QString &path);
    static FileResult failure(const QString &path, const QString &reason);
    // The system's text for an errno value.
    static FileResult systemError(const QString &path, int error);
};

#endif // FILERESULT_H
