#include "app/instancemutex.h"

// The compiler's own macro: this file needs no Qt header, and without one Qt's Q_OS_WIN is never defined.
#ifdef _WIN32
#include <windows.h>

void createInstanceMutex() { CreateMutexW(nullptr, FALSE, L"ZEVR3GMutex"); }

#else
#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

static std::string lockDirectory() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return runtime;
    const char *tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

// Anyone may plant a name in a shared temporary folder: the lock is taken only on a regular file, never through
// a symbolic link, and opening what stands there may neither wait (a FIFO) nor take over a terminal.
static bool mayOpen(const std::string &path) {
    struct stat status {};
    return lstat(path.c_str(), &status) != 0 ? errno == ENOENT : S_ISREG(status.st_mode);
}

void createInstanceMutex() {
    const std::string path = lockDirectory() + "/ZEVR3GMutex";
    if (!mayOpen(path))
        return;
    // Shared, so every running copy holds it at once. The descriptor is never closed: the kernel
    // releases the lock when the process ends, like a Windows mutex handle.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0)
        return;
    struct stat status {};
    if (fstat(fd, &status) == 0 && S_ISREG(status.st_mode))
        flock(fd, LOCK_SH | LOCK_NB);
    else
        close(fd);
}
#endif
