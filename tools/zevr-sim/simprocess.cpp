#include "tools/zevr-sim/simprocess.h"

#include <QDeadlineTimer>
#include <QJsonDocument>

namespace {
constexpr int startTimeoutMs = 10000;
} // namespace

SimProcess::SimProcess(QObject *parent) : QObject(parent) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

SimProcess::~SimProcess() { stop(); }

bool SimProcess::start(const QString &program, const QStringList &arguments, QString *error) {
    m_process.start(program, QStringList{"--json"} + arguments);
    QDeadlineTimer deadline(startTimeoutMs);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    if (!m_process.canReadLine()) {
        *error = QStringLiteral("%1 did not name its line: %2").arg(program, m_process.errorString());
        stop();
        return false;
    }
    m_path = QString::fromLocal8Bit(m_process.readLine()).trimmed();
    connect(&m_process, &QProcess::readyReadStandardOutput, this, &SimProcess::readLines);
    readLines();
    return true;
}

void SimProcess::stop() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

void SimProcess::readLines() {
    while (m_process.canReadLine()) {
        const QJsonObject event = QJsonDocument::fromJson(m_process.readLine()).object();
        if (event.value("event").toString() == QLatin1String("pty"))
            m_path = event.value("path").toString();
        if (m_keepEvents)
            m_events << event;
        emit eventReceived(event);
    }
}
