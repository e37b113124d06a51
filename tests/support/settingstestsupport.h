#ifndef SETTINGSTESTSUPPORT_H
#define SETTINGSTESTSUPPORT_H

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <sys/fsuid.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// The settings file and the log live in the working directory, so each case gets a fresh one.
class ScopedWorkDir {
public:
    ScopedWorkDir() : m_previous(QDir::currentPath()) { m_valid = m_dir.isValid() && QDir::setCurrent(m_dir.path()); }
    ~ScopedWorkDir() { QDir::setCurrent(m_previous); }
    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_valid = false;
};

// A small tmpfs over a directory, for a disk that runs full; the working directory moves into it. Root only.
class SmallTmpfs {
public:
    SmallTmpfs(const QString &dir, const char *size) : m_path(QFile::encodeName(dir)) {
        const QByteArray options = QByteArray("size=") + size;
        m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
        if (m_mounted)
            QDir::setCurrent(dir);
    }
    ~SmallTmpfs() {
        if (m_mounted)
            ::umount2(m_path.constData(), MNT_DETACH);
    }
    bool isMounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

inline bool writeFileBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

inline QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool setMode(const QString &path, mode_t mode) {
    return ::chmod(QFile::encodeName(path).constData(), mode) == 0;
}

inline bool makeLink(const QString &target, const QString &link) {
    return ::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()) == 0;
}

// The tests run as root, for whom file modes stop nothing; as "nobody" they apply again. An id of -1 changes nothing.
constexpr uid_t nobody = 65534;

inline auto fileAccessAs(uid_t id) {
    const int gid = setfsgid(id);
    const int uid = setfsuid(id);
    return qScopeGuard([=] {
        setfsuid(uid);
        setfsgid(gid);
    });
}

// Where the serial library keeps its lock for a port the system lists as `name` ("pts/3").
inline QString serialLockFile(QString name) { return "/var/lock/LCK.." + name.replace('/', '_'); }

// The files of Qt SerialPort's sources that match `pattern`, one after another, read from the archive the Windows
// program is built from; empty when the archive cannot be read.
inline QString serialLibrarySource(const QString &pattern) {
    const QFileInfoList archives = QDir(ZEVR_SOURCE_DIR "/third_party/qtserialport")
                                       .entryInfoList({"qtserialport-everywhere-src-*.tar.xz"}, QDir::Files);
    if (archives.size() != 1)
        return QString();
    QProcess tar;
    tar.start("tar", {"-xJOf", archives[0].filePath(), "--wildcards", pattern});
    const bool read = tar.waitForFinished(60000) && tar.exitStatus() == QProcess::NormalExit && tar.exitCode() == 0;
    if (!read)
        qWarning("%s", tar.readAllStandardError().constData());
    return read ? QString::fromUtf8(tar.readAllStandardOutput()) : QString();
}

// Whether file modes stop this process now (false for root, and for a file system that ignores them).
inline bool modesApply() {
    QTemporaryDir dir;
    if (!dir.isValid() || !setMode(dir.path(), 0500))
        return false;
    const auto access = fileAccessAs(nobody);
    return !QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
}

#endif // SETTINGSTESTSUPPORT_H
