#include "workfiles/systemreason.h"

#include <QHash>

#include <cerrno>
#include <cstring>

namespace {

struct Known {
    int error; // 0: a text of Qt's or Windows' own, with no errno behind it
    const char *english;
    const char *russian;
};

// The errno texts as glibc writes them, the serial library's and Qt's own texts, and the Windows texts that a serial
// port meets, for an English Windows.
const Known knownReasons[] = {
    {EPERM, "Operation not permitted", "операция не разрешена"},
    {ENOENT, "No such file or directory", "нет такого файла или устройства"},
    {EINTR, "Interrupted system call", "системный вызов прерван"},
    {EIO, "Input/output error", "ошибка ввода-вывода: устройство отключено или не отвечает"},
    {ENXIO, "No such device or address", "нет такого устройства"},
    {EBADF, "Bad file descriptor", "порт уже закрыт"},
    {EAGAIN, "Resource temporarily unavailable", "устройство временно недоступно"},
    {ENOMEM, "Cannot allocate memory", "недостаточно памяти"},
    {EACCES, "Permission denied", "нет прав доступа"},
    {EBUSY, "Device or resource busy", "устройство занято"},
    {EEXIST, "File exists", "файл уже существует"},
    {ENODEV, "No such device", "нет такого устройства"},
    {ENOTDIR, "Not a directory", "это не папка"},
    {EISDIR, "Is a directory", "это папка"},
    {EINVAL, "Invalid argument", "недопустимое значение"},
    {ENFILE, "Too many open files in system", "в системе открыто слишком много файлов"},
    {EMFILE, "Too many open files", "открыто слишком много файлов"},
    {ENOTTY, "Inappropriate ioctl for device",
     "устройство не принимает настройки линии: линия оборвана или это не порт"},
    {EFBIG, "File too large", "файл слишком велик"},
    {ENOSPC, "No space left on device", "нет места на диске"},
    {EROFS, "Read-only file system", "файловая система только для чтения"},
    {EPIPE, "Broken pipe", "соединение разорвано"},
    {ENAMETOOLONG, "File name too long", "слишком длинное имя файла"},
#ifdef ELOOP
    {ELOOP, "Too many levels of symbolic links", "слишком много символических ссылок подряд"},
#endif
#ifdef ETIMEDOUT
    {ETIMEDOUT, "Connection timed out", "время ожидания истекло"},
#endif
#ifdef EDQUOT
    {EDQUOT, "Disk quota exceeded", "превышена дисковая квота"},
#endif
    {0, "No error", "нет ошибки"},
    {0, "Unknown error", "неизвестная ошибка"},
    {0, "Device is already open", "порт уже открыт"},
    {0, "Device is not open", "порт не открыт"},
    {0, "Operation timed out", "время ожидания истекло"},
    {0, "Error reading from device", "ошибка чтения из порта"},
    {0, "Error writing to device", "ошибка записи в порт"},
    {0, "Device disappeared from the system", "устройство исчезло из системы"},
    {0, "Unsupported open mode", "неподдерживаемый режим открытия порта"},
    {0, "Permission error while creating lock file", "нет права создать файл блокировки порта"},
    {0, "Permission error while locking the device", "порт заблокирован другой программой"},
    {0, "Invalid baud rate value", "недопустимая скорость"},
    {0, "Custom baud rate is not supported", "нестандартная скорость не поддерживается"},
    {0, "Cannot set custom speed for one direction", "нестандартную скорость нельзя задать в одну сторону"},
    {0, "Custom baud rate direction is unsupported", "нестандартная скорость не задаётся для одного направления"},
    {0, "The device supports only the ignoring policy", "порт умеет только пропускать ошибки чётности"},
    {0, "No suitable custom baud rate divisor", "нет делителя для этой скорости"},
    {0, "Access is denied", "нет доступа: порт занят другой программой или нет прав"},
    {0, "The system cannot find the file specified", "порт не найден"},
    {0, "The system cannot find the path specified", "порт не найден"},
    {0, "The handle is invalid", "порт уже закрыт"},
    {0, "The parameter is incorrect", "недопустимое значение"},
    {0, "The device does not recognize the command", "устройство не распознаёт команду"},
    {0, "The device is not ready", "устройство не готово"},
    {0, "The device is not connected", "устройство не подключено"},
    {0, "A device attached to the system is not functioning", "устройство не работает"},
    {0, "The semaphore timeout period has expired", "время ожидания устройства истекло"},
    {0, "The I/O operation has been aborted because of either a thread exit or an application request",
     "операция ввода-вывода прервана"},
};

// Case, surrounding blanks and a final full stop (Windows ends its texts with one) do not tell texts apart.
QString key(const QString &text) {
    QString result = text.trimmed();
    if (result.endsWith(QLatin1Char('.')))
        result.chop(1);
    return result.toCaseFolded();
}

QHash<QString, QString> buildTable() {
    QHash<QString, QString> table;
    for (const Known &known : knownReasons) {
        const QString russian = QString::fromUtf8(known.russian);
        table.insert(key(QString::fromLatin1(known.english)), russian);
        // The C library's text in whatever language it speaks here.
        if (known.error != 0)
            table.insert(key(QString::fromLocal8Bit(std::strerror(known.error))), russian);
    }
    return table;
}

const QHash<QString, QString> &table() {
    static const QHash<QString, QString> built = buildTable();
    return built;
}

bool isLatinOnly(const QString &text) {
    for (QChar c : text)
        if (c.unicode() > 0x7F)
            return false;
    return true;
}

} // namespace

namespace SystemReason {

QString russian(const QString &systemText) {
    const QString trimmed = systemText.trimmed();
    const QString known = table().value(key(trimmed));
    if (!known.isEmpty())
        return known;
    if (trimmed.isEmpty() || !isLatinOnly(trimmed))
        return trimmed;
    return QStringLiteral("ошибка системы: ") + trimmed;
}

QString withOriginal(const QString &systemText) {
    const QString trimmed = systemText.trimmed();
    const QString words = russian(trimmed);
    if (!table().contains(key(trimmed)) || words == trimmed)
        return words;
    return words + QStringLiteral(" (") + trimmed + QLatin1Char(')');
}

} // namespace SystemReason
