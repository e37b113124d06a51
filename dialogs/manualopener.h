#ifndef MANUALOPENER_H
#define MANUALOPENER_H

#include <QObject>
#include <QString>

class QProcess;

// Hands the user manual to the desktop's PDF viewer and tells when that did not work.
class ManualOpener : public QObject {
    Q_OBJECT

public:
    explicit ManualOpener(QObject *parent = nullptr);
    ~ManualOpener() override;

    void open(const QString &path);

signals:
    // A short text for the operator and the details: where the file is, and what went wrong.
    void failed(const QString &text, const QString &details);

private:
    void startOpener(const QString &path);
    void openerFinished(QProcess *process, const QString &path);
};

#endif // MANUALOPENER_H
