#include "TClientWinSocket.h"

#include "ESocketError.h"
#include "Posix.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

TClientWinSocket::TClientWinSocket(TSocketSink* sink, QObject* parent) : TCustomWinSocket(sink, parent)
{
}

void TClientWinSocket::Open(const QString& address, quint16 port)
{
    if (m_active || m_connected)
        return;
    if (m_fd >= 0)
        Detach();

    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw ESocketError("Can't create new socket");
    Attach(fd, false);
    Raise(TSocketEvent::Lookup);
    if (m_fd != fd)
        return;

    if (address.isEmpty()) {
        int code = 1110;
        const bool cleared = RaiseError(TErrorEvent::ekLookup, code);
        CloseStep();
        if (!cleared)
            throw ESocketError("No address specified");
        return;
    }
    m_address = Posix::AddressFromText(address);
    m_port = port;
    Raise(TSocketEvent::Connecting);
    if (m_fd != fd)
        return;

    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_addr.s_addr = m_address;
    remote.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0 || errno == EINPROGRESS) {
        // Even an immediate success is reported from the loop, as every other outcome is.
        m_connecting = true;
        ArmWrite();
        return;
    }
    const int code = errno;
    // Reported as a closing of the endpoint first, then as the failure itself.
    CloseStep();
    Posix::RaiseApiError(code, "connect");
}

void TClientWinSocket::HandleConnectComplete(int error)
{
    if (error != 0) {
        // A failed attempt keeps nothing: the next open starts afresh.
        Detach();
        NotificationError(TErrorEvent::ekConnect, error);
        return;
    }
    const int fd = m_fd;
    m_connected = true;
    m_active = true;
    ArmRead();
    Raise(TSocketEvent::Connect);
    // A write notification is owed once the connection is up.
    if (m_fd == fd && m_connected)
        Raise(TSocketEvent::Write);
}
