#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// One peer: this executable run again with a role, on the offscreen platform. Its standard output
// is read line by line; its error output goes to a file, kept for the report of a failure, so that
// a chatty peer never waits on a full pipe.
class PeerProcess {
public:
    PeerProcess(const QStringList& arguments, const QString& errorFile);
    ~PeerProcess();
    PeerProcess(const PeerProcess&) = delete;
    PeerProcess& operator=(const PeerProcess&) = delete;

    bool Started() const { return m_started; }
    pid_t Pid() const;

    // The first line that starts with prefix, waiting at most timeoutMs; empty when none came.
    // A line starting with "error" ends the wait too, and is returned.
    QByteArray WaitForLine(const QByteArray& prefix, int timeoutMs);
    void Send(const QByteArray& command);
    // Waits for the process to end; its exit code, or -1 when it had to be killed.
    int Finish(int timeoutMs);
    // Everything the peer said, for a failure report.
    QString Transcript();

private:
    QProcess m_process;
    QByteArray m_said;
    QString m_errorFile;
    bool m_started = false;
};
