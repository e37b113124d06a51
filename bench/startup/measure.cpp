// measure PROGRAM [ARGS...]: starts PROGRAM on $DISPLAY and prints "<ms> <kB> <cpu ms>": the time from exec
// until its first top-level window is mapped, its resident memory at that moment and the processor time
// all its threads have used by then (less disturbed by other load than the wall time). Then ends it.
// Listens for the X server's own MapNotify instead of polling, so the time is not rounded to a poll step.

#include <xcb/xcb.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <string>

#include <dirent.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const int timeoutMs = 60000;

double nowMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

long residentKb(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Sum of the threads' run times from the scheduler, in nanoseconds; finer than the tick counts of stat.
double cpuMs(pid_t pid) {
    const std::string tasks = "/proc/" + std::to_string(pid) + "/task";
    double ns = 0;
    if (DIR *dir = opendir(tasks.c_str())) {
        while (dirent *entry = readdir(dir)) {
            std::ifstream stat(tasks + "/" + entry->d_name + "/schedstat");
            double run = 0;
            if (entry->d_name[0] != '.' && stat >> run)
                ns += run;
        }
        closedir(dir);
    }
    return ns / 1e6;
}

pid_t launch(char **argv) {
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        std::perror(argv[0]);
        _exit(127);
    }
    return pid;
}

// Waits for a MapNotify of a direct child of the root window; false on time-out or a dead child.
bool waitForTopLevelMap(xcb_connection_t *c, xcb_window_t root, pid_t pid, double deadline) {
    pollfd fd{xcb_get_file_descriptor(c), POLLIN, 0};
    while (nowMs() < deadline) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const bool mapped = (event->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                                reinterpret_cast<xcb_map_notify_event_t *>(event)->event == root &&
                                !reinterpret_cast<xcb_map_notify_event_t *>(event)->override_redirect;
            std::free(event);
            if (mapped)
                return true;
        }
        if (xcb_connection_has_error(c) || waitpid(pid, nullptr, WNOHANG) == pid)
            return false;
        poll(&fd, 1, 20);
    }
    return false;
}

void finish(pid_t pid) {
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid)
            return;
        usleep(20000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
        return 2;
    }
    xcb_connection_t *c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot connect to the X server\n");
        return 2;
    }
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_request_check(c, xcb_change_window_attributes_checked(c, root, XCB_CW_EVENT_MASK, &mask));

    const double start = nowMs();
    const pid_t pid = launch(argv + 1);
    const bool shown = waitForTopLevelMap(c, root, pid, start + timeoutMs);
    const double elapsed = nowMs() - start;
    const long rss = shown ? residentKb(pid) : -1;
    const double cpu = shown ? cpuMs(pid) : -1;
    finish(pid);
    xcb_disconnect(c);
    if (!shown) {
        std::fprintf(stderr, "%s showed no window\n", argv[1]);
        return 1;
    }
    std::printf("%.1f %ld %.1f\n", elapsed, rss, cpu);
    return 0;
}
