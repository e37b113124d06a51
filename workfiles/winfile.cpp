#include "workfiles/winfile.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QFileInfo>

#include <windows.h>

namespace {

std::wstring nativePath(const QString &path) { return QDir::toNativeSeparators(path).toStdWString(); }

FileResult lastError(const QString &path) { return FileResult::failure(path, WinFile::errorText(GetLastError())); }

// What stands at `path`, when it is something the program will not write: its own reason, or an empty one.
QString typeRefusal(DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("это символическая ссылка, программа не пишет через ссылки");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return QStringLiteral("это папка, а не файл");
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return QStringLiteral("файл только для чтения");
    return QString();
}

bool writeAll(HANDLE file, const QByteArray &bytes) {
    for (qint64 done = 0; done < bytes.size();) {
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qint64>(bytes.size() - done, 1 << 20));
        if (!WriteFile(file, bytes.constData() + done, chunk, &written, nullptr))
            return false;
        if (written == 0) {
            SetLastError(ERROR_DISK_FULL);
            return false;
        }
        done += written;
    }
    return true;
}

HANDLE createTemporary(const QString &path, std::wstring *temporary) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        *temporary = nativePath(path + QStringLiteral(".tmp%1-%2").arg(GetCurrentProcessId()).arg(attempt));
        const HANDLE file =
            CreateFileW(temporary->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return INVALID_HANDLE_VALUE;
}

// Another copy may append to the same file; opening it without write sharing gives this copy the file for the one
// line, so the cut-back after a short write cannot take another copy's line with it.
HANDLE openForAppend(const std::wstring &name) {
    for (int attempt = 0; attempt < 20; ++attempt) {
        // A reparse point is opened as itself, so that a link planted at the log's name is seen, not written through.
        const HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
        if (file != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            return file;
        Sleep(1);
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

FileResult WinFile::replace(const QString &path, const QByteArray &content) {
    const std::wstring name = nativePath(path);
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES && GetLastError() != ERROR_FILE_NOT_FOUND)
        return lastError(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && !typeRefusal(attributes).isEmpty())
        return FileResult::failure(path, typeRefusal(attributes));
    std::wstring temporary;
    const HANDLE file = createTemporary(path, &temporary);
    if (file == INVALID_HANDLE_VALUE)
        return lastError(path);
    const bool written = writeAll(file, content) && FlushFileBuffers(file);
    const DWORD writeError = GetLastError();
    CloseHandle(file);
    if (written && MoveFileExW(temporary.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return FileResult::success(path);
    const DWORD error = written ? GetLastError() : writeError;
    DeleteFileW(temporary.c_str());
    return FileResult::failure(path, errorText(error));
}

FileResult WinFile::appendWhole(const QString &path, const QByteArray &line) {
    const std::wstring name = nativePath(path);
    const HANDLE file = openForAppend(name);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD attributes = GetFileAttributesW(name.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !typeRefusal(attributes).isEmpty())
            return FileResult::failure(path, typeRefusal(attributes));
        return FileResult::failure(path, errorText(error));
    }
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    FileResult result = FileResult::success(path);
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) {
        result = FileResult::failure(path, QStringLiteral("это не обычный файл"));
    } else if (!typeRefusal(info.dwFileAttributes).isEmpty()) {
        result = FileResult::failure(path, typeRefusal(info.dwFileAttributes));
    } else if (!GetFileSizeEx(file, &size) || !SetFilePointerEx(file, size, nullptr, FILE_BEGIN)) {
        result = lastError(path);
    } else if (!writeAll(file, line)) {
        result = lastError(path);
        SetFilePointerEx(file, size, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    CloseHandle(file);
    return result;
}

QString WinFile::errorText(unsigned long error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("нет доступа");
    case ERROR_FILE_NOT_FOUND:
        return QStringLiteral("файл не найден");
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DIRECTORY:
        return QStringLiteral("папка не найдена");
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return QStringLiteral("файл занят другой программой");
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return QStringLiteral("на диске нет места");
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("диск защищён от записи");
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_INVALID_NAME:
        return QStringLiteral("недопустимое имя файла");
    default:
        return QStringLiteral("ошибка Windows %1").arg(error);
    }
}
#endif
