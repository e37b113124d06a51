#ifndef SERIALLINE_H
#define SERIALLINE_H

#include "tools/zevr-sim/simline.h"

class QSerialPort;

// A real port, for a controller simulated on a second machine or across a null-modem cable.
class SerialLine : public SimLine {
    Q_OBJECT

public:
    explicit SerialLine(const QString &name, qint32 baud, QObject *parent = nullptr);

    bool open(QString *error);
    QString path() const override;
    void write(const QByteArray &bytes) override;
    int unreadCount() const override;
    void hangUp() override;

private:
    void readPort();
    void reopen();

    QSerialPort *m_port;
};

#endif // SERIALLINE_H
