#ifndef SETTINGSTESTSUPPORT_H
#define SETTINGSTESTSUPPORT_H

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

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

inline bool writeFileBytes(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

inline QByteArray readFileBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

#endif // SETTINGSTESTSUPPORT_H
