#include "sender/consoletext.h"

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#endif

namespace {

void writeBytes(std::FILE *stream, const QByteArray &bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

#ifdef Q_OS_WIN
void ConsoleText::write(std::FILE *stream, const QString &text) {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) {
        writeBytes(stream, text.toUtf8());
        return;
    }
    std::fflush(stream);
    const std::wstring wide = text.toStdWString();
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), DWORD(wide.size()), &written, nullptr);
}
#else
void ConsoleText::write(std::FILE *stream, const QString &text) { writeBytes(stream, text.toLocal8Bit()); }
#endif
