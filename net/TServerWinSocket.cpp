#include "TServerWinSocket.h"

#include "ESocketError.h"
#include "Posix.h"
#include "TServerClientWinSocket.h"

#include <QSocketNotifier>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace {
constexpr int kBacklog = 5;
constexpr int kAcceptRetryMs = 100;
}

TServerWinSocket::TServerWinSocket(TSocketSink* sink, QObject* parent) : TCustomWinSocket(sink, parent)
{
}

TServerWinSocket::~TServerWinSocket()
{
    const QList<TServerClientWinSocket*> connections = std::exchange(m_connections, {});
    for (TServerClientWinSocket* connection : connections) {
        connection->m_server = nullptr;
        connection->m_sink = nullptr;
        delete connection;
    }
}

void TServerWinSocket::Listen(quint16 port)
{
    if (m_active || m_listening)
        return;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ESocketError("Can't create new socket");
    Attach(fd, true);
    Raise(TSocketEvent::Lookup);

    // Stop followed at once by Receive must be able to bind again.
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int code = errno;
        CloseStep();
        Posix::RaiseApiError(code, "bind");
    }
    m_port = port;
    m_active = true;
    Raise(TSocketEvent::Listen);
    if (::listen(fd, kBacklog) != 0) {
        const int code = errno;
        CloseStep();
        Posix::RaiseApiError(code, "listen");
    }
    m_connected = true;
    ArmRead();
}

void TServerWinSocket::Stop()
{
    if (!m_active || !m_listening)
        return;
    while (!m_connections.isEmpty())
        m_connections.takeLast()->Abandon();
    CloseStep();
}

TCustomWinSocket* TServerWinSocket::Connections(int index) const
{
    return index >= 0 && index < m_connections.size() ? m_connections[index] : nullptr;
}

void TServerWinSocket::HandleAccept()
{
    const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        // Out of descriptors (or memory) the peer stays queued and the notifier would fire at once
        // again, spinning the loop: pause accepting for a moment instead.
        const int code = errno;
        if (!Posix::NotReady(code) && code != ECONNABORTED && m_readNotifier) {
            m_readNotifier->setEnabled(false);
            QTimer::singleShot(kAcceptRetryMs, this, [this] { ArmRead(); });
        }
        return;
    }
    auto* connection = new TServerClientWinSocket(fd, this, m_sink);
    m_connections.append(connection);
    connection->Start();
    const QPointer<TServerClientWinSocket> accepted(connection);
    connection->Raise(TSocketEvent::Connect);
    if (accepted && m_active)
        connection->Raise(TSocketEvent::Accept);
}

void TServerWinSocket::Forget(TServerClientWinSocket* connection)
{
    m_connections.removeOne(connection);
}
