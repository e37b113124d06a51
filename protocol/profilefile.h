#ifndef PROFILEFILE_H
#define PROFILEFILE_H

#include "protocol/profile.h"

// Profiles on disk, for the window and the command-line sender alike.
namespace Profiles {

// A file that is not a regular file, or too large to be a profile, is refused before it is read.
ReadResult readProfileFile(const QString &path);

// Writes the profile whole or leaves the old file as it was. A value that could not be read back is not
// written either, so that every saved profile opens again. Returns the problem, empty on success.
QString writeProfileFile(const QString &path, const Profile &profile);

} // namespace Profiles

#endif // PROFILEFILE_H
