#ifndef SIMLINE_H
#define SIMLINE_H

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>

// The controller's end of the serial line: a pseudo-terminal or a real port.
class SimLine : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    virtual QString path() const = 0;
    virtual void write(const QByteArray &bytes) = 0;
    // Bytes written that the other side has not read yet.
    virtual int unreadCount() const = 0;
    // Pulls the plug: the other side's open port fails; the line is usable again for its next open.
    virtual void hangUp() = 0;
    // How the line is set up now (speed, character format), as far as this end can tell; empty if it cannot.
    virtual QJsonObject lineSettings() const { return {}; }

    static qint64 monotonicNs();

signals:
    void received(const QByteArray &bytes, qint64 monoNs);
    void pathChanged(const QString &path);
    void notice(const QString &text);
};

#endif // SIMLINE_H
