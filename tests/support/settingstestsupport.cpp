#include "settingstestsupport.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <sys/fsuid.h>
#include <sys/mount.h>
#include <unistd.h>

namespace {
const unsigned nobody = 65534;
}

ScopedWorkDir::ScopedWorkDir() : m_previous(QDir::currentPath()) {
    m_valid = m_dir.isValid() && QDir::setCurrent(m_dir.path());
}

ScopedWorkDir::~ScopedWorkDir() { QDir::setCurrent(m_previous); }

// setfsuid() reports the previous identity, never an error, so success shows only on a second call.
UnprivilegedFileAccess::UnprivilegedFileAccess() {
    m_previousGid = setfsgid(nobody);
    m_previousUid = setfsuid(nobody);
    m_active = unsigned(setfsuid(nobody)) == nobody && unsigned(setfsgid(nobody)) == nobody;
}

UnprivilegedFileAccess::~UnprivilegedFileAccess() {
    setfsuid(m_previousUid);
    setfsgid(m_previousGid);
}

ScopedTmpfs::ScopedTmpfs(const QString &path, const QByteArray &size) : m_path(path) {
    const QByteArray options = "size=" + size;
    m_mounted =
        ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData()) == 0;
    if (!m_mounted)
        m_error = QString::fromLocal8Bit(std::strerror(errno));
}

ScopedTmpfs::~ScopedTmpfs() {
    if (m_mounted)
        ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
}

bool writeFileBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool fillFileSystem(const QString &directory) {
    QFile filler(directory + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray block(4096, 'x');
    for (int i = 0; i < 1 << 20; ++i) {
        if (filler.write(block) != block.size())
            return true;
    }
    return false;
}
