#include "app/instancemutex.h"

// The compiler's own macro: this file needs no Qt header, and without one Qt's Q_OS_WIN is never defined.
#ifdef _WIN32
#include <windows.h>

void createInstanceMutex() { CreateMutexW(nullptr, FALSE, L"ZEVR3GMutex"); }

#else
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>

static std::string lockDirectory() {
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime)
        return runtime;
    const char *tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

void createInstanceMutex() {
    const std::string path = lockDirectory() + "/ZEVR3GMutex";
    // Shared, so every running copy holds it at once. The descriptor is never closed: the kernel
    // releases the lock when the process ends, like a Windows mutex handle.
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0)
        flock(fd, LOCK_SH | LOCK_NB);
}
#endif
