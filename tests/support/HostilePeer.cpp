#include "HostilePeer.h"

#include "Loopback.h"
#include "WaitUntil.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSocketNotifier>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {
bool Ready(int fd, short events)
{
    pollfd probe{fd, events, 0};
    return ::poll(&probe, 1, 0) > 0;
}
} // namespace

HostilePeer::~HostilePeer()
{
    Release();
    StopListening();
}

bool HostilePeer::WaitFor(const std::function<bool()>& done, int timeoutMs)
{
    return WaitUntil(done, timeoutMs, 5);
}

bool HostilePeer::ConnectTo(quint16 port, int timeoutMs)
{
    Release();
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const sockaddr_in address = Loopback(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EINPROGRESS) {
        ::close(fd);
        return false;
    }
    int error = 0;
    const bool finished = WaitFor([&] {
        if (!Ready(fd, POLLOUT))
            return false;
        socklen_t length = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length);
        return true;
    }, timeoutMs);
    if (!finished || error != 0) {
        ::close(fd);
        return false;
    }
    Adopt(fd);
    return true;
}

bool HostilePeer::Listen(quint16 port)
{
    Release();
    StopListening();
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return false;
    const int reuse = 1;
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    const sockaddr_in address = Loopback(port);
    if (::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::listen(listener, 1) != 0) {
        ::close(listener);
        return false;
    }
    m_listener = listener;
    return true;
}

bool HostilePeer::Accept(int timeoutMs)
{
    if (m_listener < 0)
        return false;
    int fd = -1;
    WaitFor([&] {
        fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        return fd >= 0;
    }, timeoutMs);
    StopListening();
    if (fd < 0)
        return false;
    Adopt(fd);
    return true;
}

void HostilePeer::StopListening()
{
    if (m_listener >= 0)
        ::close(m_listener);
    m_listener = -1;
}

void HostilePeer::Adopt(int fd)
{
    m_fd = fd;
    m_peerClosed = false;
    m_wasReset = false;
    // Each Send leaves as its own segment, as a program's one write per message does.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    m_readNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &HostilePeer::OnReadable);
    m_readNotifier->setEnabled(m_reading);
    m_writeNotifier = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &HostilePeer::OnWritable);
    m_writeNotifier->setEnabled(false);
}

void HostilePeer::Release()
{
    // Notifiers go before the descriptor, so that a reused number cannot wake them.
    delete m_readNotifier;
    delete m_writeNotifier;
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_outgoing.clear();
}

void HostilePeer::Send(const QByteArray& bytes)
{
    if (m_fd < 0)
        return;
    m_outgoing += bytes;
    Flush();
}

void HostilePeer::Flush()
{
    while (m_fd >= 0 && !m_outgoing.isEmpty()) {
        const ssize_t sent = ::send(m_fd, m_outgoing.constData(), size_t(m_outgoing.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            m_outgoing.remove(0, sent);
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
            m_writeNotifier->setEnabled(true);
            return;
        }
        // The other side is gone; what was not sent is lost, as it would be for any peer.
        m_wasReset = m_wasReset || (sent < 0 && errno == ECONNRESET);
        m_outgoing.clear();
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
}

void HostilePeer::OnWritable()
{
    Flush();
}

void HostilePeer::SetReading(bool reading)
{
    m_reading = reading;
    if (m_readNotifier)
        m_readNotifier->setEnabled(reading && !m_peerClosed);
}

void HostilePeer::OnReadable()
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            Received.append(buffer, got);
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        // End of stream or a reset: nothing more will come.
        if (got < 0)
            m_wasReset = true;
        else
            m_peerClosed = true;
        m_readNotifier->setEnabled(false);
        return;
    }
}

void HostilePeer::Reset()
{
    if (m_fd < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    Release();
}

void HostilePeer::Close()
{
    Release();
}
