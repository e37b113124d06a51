#ifndef SETTINGSTESTSUPPORT_H
#define SETTINGSTESTSUPPORT_H

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Makes a fresh temporary directory the working directory for the life of the object, since the settings file
// and the log live in the working directory.
class ScopedWorkDir {
public:
    ScopedWorkDir();
    ~ScopedWorkDir();
    ScopedWorkDir(const ScopedWorkDir &) = delete;
    ScopedWorkDir &operator=(const ScopedWorkDir &) = delete;

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
    bool m_valid = false;
};

// The tests run as root, for whom file modes do not stop anything. This switches the calling thread's file-system
// identity to "nobody" for the life of the object, so that modes apply again.
class UnprivilegedFileAccess {
public:
    UnprivilegedFileAccess();
    ~UnprivilegedFileAccess();
    UnprivilegedFileAccess(const UnprivilegedFileAccess &) = delete;
    UnprivilegedFileAccess &operator=(const UnprivilegedFileAccess &) = delete;

    bool isActive() const { return m_active; }

private:
    unsigned m_previousUid = 0;
    unsigned m_previousGid = 0;
    bool m_active = false;
};

// A small tmpfs mounted on a directory for the life of the object, to run out of space on purpose.
class ScopedTmpfs {
public:
    ScopedTmpfs(const QString &path, const QByteArray &size);
    ~ScopedTmpfs();
    ScopedTmpfs(const ScopedTmpfs &) = delete;
    ScopedTmpfs &operator=(const ScopedTmpfs &) = delete;

    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    bool m_mounted = false;
};

bool writeFileBytes(const QString &path, const QByteArray &bytes);
QByteArray readFileBytes(const QString &path);

// Fills the file system that holds the directory until a write fails for lack of space.
bool fillFileSystem(const QString &directory);

#endif // SETTINGSTESTSUPPORT_H
