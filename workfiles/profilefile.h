#ifndef PROFILEFILE_H
#define PROFILEFILE_H

#include "protocol/profile.h"

// Profiles on disk, for the window and the command-line sender alike. The format is read and written in protocol/;
// the files are handled here, the way the program handles its own work files.
namespace Profiles {

// Only a regular file is read: a FIFO, a device or a folder is refused before it is opened, and so is a file too
// large to be a profile.
ReadResult readProfileFile(const QString &path);

// Writes the profile whole or leaves the old file as it was. A value that could not be read back is not
// written either, so that every saved profile opens again. A symbolic link, a folder, a FIFO or a device at `path`
// is refused and left as it is. Returns the problem, empty on success.
QString writeProfileFile(const QString &path, const Profile &profile);

} // namespace Profiles

#endif // PROFILEFILE_H
