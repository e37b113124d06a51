#include "dialogs/manualopener.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

namespace {

const QString notOpened = QStringLiteral("Руководство не открыто");

// xdg-open's documented exit codes.
QString xdgOpenReason(int exitCode) {
    switch (exitCode) {
    case 2:
        return QStringLiteral("файл не найден");
    case 3:
        return QStringLiteral("нет программы для просмотра PDF");
    default:
        return QStringLiteral("программа просмотра сообщила об ошибке");
    }
}

} // namespace

ManualOpener::ManualOpener(QObject *parent) : QObject(parent) {}

// A viewer that xdg-open runs in the foreground stays open after the program ends; only the opener is stopped.
ManualOpener::~ManualOpener() {
    for (QProcess *process : findChildren<QProcess *>()) {
        process->disconnect(this);
        process->kill();
        process->waitForFinished(1000);
    }
}

void ManualOpener::open(const QString &path) {
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        emit failed(notOpened, QDir::toNativeSeparators(path) + QStringLiteral("\nСистема не открыла файл."));
#else
    startOpener(path);
#endif
}

// On X11 QDesktopServices reports success as soon as xdg-open has started, so a desktop without a PDF viewer
// would go unnoticed; xdg-open's own exit status tells.
void ManualOpener::startOpener(const QString &path) {
    auto *process = new QProcess(this);
    process->setProgram(QStringLiteral("xdg-open"));
    process->setArguments({path});
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::errorOccurred, this, [this, process, path](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return; // the end of the process follows and is judged there
        emit failed(notOpened + QStringLiteral(": нет программы xdg-open"),
                    path + QStringLiteral("\nxdg-open не запускается: ") + process->errorString());
        process->deleteLater();
    });
    connect(process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), this,
            [this, process, path] { openerFinished(process, path); });
    process->start();
}

void ManualOpener::openerFinished(QProcess *process, const QString &path) {
    process->deleteLater();
    if (process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0)
        return;
    const QString reason = process->exitStatus() == QProcess::NormalExit
                               ? xdgOpenReason(process->exitCode())
                               : QStringLiteral("программа просмотра аварийно завершилась");
    const QString code = process->exitStatus() == QProcess::NormalExit
                             ? QStringLiteral(" (xdg-open: код %1)").arg(process->exitCode())
                             : QString();
    emit failed(notOpened + QStringLiteral(": ") + reason, path + QLatin1Char('\n') + reason + code);
}
