#include "sender/quitrequests.h"

#include <QMetaObject>

#include <mutex>

#ifndef Q_OS_WIN
#include <QSocketNotifier>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace QuitRequests {

#ifdef Q_OS_WIN
namespace {

std::mutex targetMutex;
QObject *target = nullptr;
std::function<void()> interruptTarget;
bool requestedEarly = false;
HANDLE runOver = nullptr;

void request() {
    const std::lock_guard<std::mutex> lock(targetMutex);
    if (target)
        QMetaObject::invokeMethod(target, interruptTarget, Qt::QueuedConnection);
    else
        requestedEarly = true;
}

} // namespace

BOOL WINAPI onConsoleEvent(DWORD event) {
    request();
    // Closing the console window, logging off and shutting down end the process as soon as this returns. Windows
    // waits a few seconds for it, time enough for the run to close its port and finish its record.
    if ((event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) && runOver)
        WaitForSingleObject(runOver, INFINITE);
    return TRUE;
}

void install() {
    runOver = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void interruptOn(QObject *context, std::function<void()> interrupt) {
    bool early;
    {
        const std::lock_guard<std::mutex> lock(targetMutex);
        target = context;
        interruptTarget = interrupt;
        early = requestedEarly;
    }
    if (early)
        interrupt();
}

void runEnded() {
    {
        const std::lock_guard<std::mutex> lock(targetMutex);
        target = nullptr;
    }
    if (runOver)
        SetEvent(runOver);
}
#else
namespace {

int quitPipe[2] = {-1, -1};

void onQuitSignal(int) {
    const char byte = 0;
    (void)!::write(quitPipe[1], &byte, 1);
}

} // namespace

// The pipe keeps a signal that comes before the event loop runs; the run reads it once the loop starts. A file size
// limit (ulimit -f) makes a write fail instead of killing the run, so the record's failure is told.
void install() {
    signal(SIGXFSZ, SIG_IGN);
    if (pipe2(quitPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    struct sigaction action {};
    action.sa_handler = onQuitSignal;
    sigemptyset(&action.sa_mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signalNumber, &action, nullptr);
}

void interruptOn(QObject *context, std::function<void()> interrupt) {
    if (quitPipe[0] < 0)
        return;
    auto *notifier = new QSocketNotifier(quitPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [interrupt] {
        char bytes[16];
        while (::read(quitPipe[0], bytes, sizeof bytes) > 0) {
        }
        interrupt();
    });
}

// The process ends when main() returns; no handler waits for it.
void runEnded() {}
#endif

} // namespace QuitRequests
