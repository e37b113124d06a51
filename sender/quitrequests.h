#ifndef QUITREQUESTS_H
#define QUITREQUESTS_H

#include <QObject>

#include <functional>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// Ctrl+C and a termination request end a run in order: the port is closed and the record is complete. The handlers
// are in place before any file or port is opened; a request that comes before the run has started ends it before
// anything goes to the line.
namespace QuitRequests {

// First thing in main(), before anything is opened.
void install();

// From now on a request calls `interrupt` on the thread of `context`, at once for one that came earlier.
void interruptOn(QObject *context, std::function<void()> interrupt);

// Everything the run had to say is written: a handler that holds the process open for it may let go.
void runEnded();

#ifdef Q_OS_WIN
// Windows calls this on a thread of its own.
BOOL WINAPI onConsoleEvent(DWORD event);
#endif

} // namespace QuitRequests

#endif // QUITREQUESTS_H
