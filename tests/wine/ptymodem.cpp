// Loaded into Wine (LD_PRELOAD) by the Windows tests, never into the program. Wine's wait for serial events asks
// for the modem lines on every poll, which a pseudo-terminal refuses; the wait then ends at once as cancelled, and
// Qt's serial port, which waits for EV_RXCHAR before it reads, never reads the controller's answer. Here a
// pseudo-terminal's modem lines read as those of a connected cable, and every other request goes to the kernel
// unchanged. The call is made as a system call, not through the C library's ioctl found by dlsym, so nothing in
// it depends on the state of the dynamic loader inside Wine.
#include <cerrno>
#include <cstdarg>

#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <unistd.h>

extern "C" int ioctl(int fd, unsigned long request, ...) {
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    const long result = syscall(SYS_ioctl, fd, request, argument);
    if (result == -1 && request == TIOCMGET && argument && (errno == ENOTTY || errno == EINVAL)) {
        *static_cast<int *>(argument) = TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        return 0;
    }
    return int(result);
}
