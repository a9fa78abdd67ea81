#include "PeerProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <algorithm>

PeerProcess::PeerProcess(const QStringList& arguments, const QString& errorFile) : m_errorFile(errorFile)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardErrorFile(errorFile);
    m_process.start(QCoreApplication::applicationFilePath(), arguments);
    m_started = m_process.waitForStarted(10000);
}

PeerProcess::~PeerProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

pid_t PeerProcess::Pid() const
{
    return pid_t(m_process.processId());
}

QByteArray PeerProcess::WaitForLine(const QByteArray& prefix, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            m_said += line + '\n';
            if (line.startsWith(prefix) || line.startsWith("error"))
                return line;
        }
        if (deadline.hasExpired())
            return {};
        if (m_process.state() == QProcess::NotRunning) {
            // Lines still buffered were read above; nothing more will come.
            if (!m_process.canReadLine())
                return {};
            continue;
        }
        m_process.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    }
}

void PeerProcess::Send(const QByteArray& command)
{
    m_process.write(command + '\n');
    m_process.waitForBytesWritten(5000);
}

int PeerProcess::Finish(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(5000);
        return -1;
    }
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

QString PeerProcess::Transcript()
{
    m_said += m_process.readAllStandardOutput();
    QFile errors(m_errorFile);
    if (errors.open(QIODevice::ReadOnly))
        m_said += errors.readAll().right(4000);
    return QString::fromLocal8Bit(m_said).trimmed();
}
