#ifndef PORTDIAGNOSIS_H
#define PORTDIAGNOSIS_H

#include <QSerialPort>
#include <QString>
#include <QStringList>

// Why a port did not open, in words an operator can act on. QSerialPort reports a port that another program holds
// (its lock file, or an exclusive open) and a missing permission alike as PermissionError, and the two need
// opposite remedies, so the system is asked further.
struct OpenFailureFacts {
    enum class Cause { Missing, LockHeld, LockFolder, Busy, NoPermission, AlreadyOpen, Other };

    Cause cause = Cause::Other;
    QString device;     // "/dev/ttyUSB0"
    QString systemText; // QSerialPort's own text, for the causes it alone knows
    QString lockFile;
    qint64 holderPid = 0; // the program that holds the port, when it is known
    QString holderName;
    QString group;            // the device's group, for a missing permission
    bool groupListed = false; // the user is listed in that group, but this session started before
};

OpenFailureFacts gatherOpenFailureFacts(const QString &name, QSerialPort::SerialPortError error,
                                        const QString &systemText);
QString describeOpenFailure(const OpenFailureFacts &facts);
// A user is listed in a group as its primary group or by name among its members. Plain values, so that the rule is
// checked without the system's own users.
bool userListedInGroup(const QByteArray &user, unsigned userGroup, unsigned group, const QList<QByteArray> &members);
QString describeOpenFailure(const QString &name, QSerialPort::SerialPortError error, const QString &systemText);
#ifdef Q_OS_UNIX
// Where the serial library looks for a port's lock file, in its order.
QStringList serialLockFolders();
#endif

#endif // PORTDIAGNOSIS_H
