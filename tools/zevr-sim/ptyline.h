#ifndef PTYLINE_H
#define PTYLINE_H

#include "tools/zevr-sim/simline.h"

class QSocketNotifier;

// A pseudo-terminal whose slave side the program opens as its serial port. The simulator keeps a slave
// descriptor of its own, so the line stays up while the program closes and reopens its port.
class PtyLine : public SimLine {
    Q_OBJECT

public:
    explicit PtyLine(QObject *parent = nullptr);
    ~PtyLine() override;

    bool open(QString *error);
    QString path() const override { return m_path; }
    void write(const QByteArray &bytes) override;
    int unreadCount() const override;
    void hangUp() override;
    QJsonObject lineSettings() const override;

private:
    void readMaster();
    void resumeReading();
    bool hangUpInPlace();
    bool reopenSlave();
    void closeAll();
    static void makeRaw(int fd);

    int m_master = -1;
    int m_slave = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
};

#endif // PTYLINE_H
