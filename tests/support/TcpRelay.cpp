#include "TcpRelay.h"

#include "Loopback.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {
void NoDelay(int fd)
{
    // Pieces must leave as separate segments, not be merged by the kernel.
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void CloseWithReset(int fd)
{
    const linger abort{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(fd);
}
} // namespace

TcpRelay::~TcpRelay()
{
    while (!m_links.isEmpty())
        Finish(m_links.front()->Id, true);
    delete m_acceptNotifier;
    if (m_listener >= 0)
        ::close(m_listener);
}

bool TcpRelay::Listen(quint16 port, quint16 target)
{
    if (m_listener >= 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const int reuse = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address = Loopback(port);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 16) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        return false;
    }
    m_listener = fd;
    m_port = ntohs(address.sin_port);
    m_target = target;
    m_acceptNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &TcpRelay::OnAcceptable);
    return true;
}

void TcpRelay::OnAcceptable()
{
    const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (client < 0)
        return;
    ++m_accepted;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const sockaddr_in target = Loopback(m_target);
    bool up = server >= 0
        && (::connect(server, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 || errno == EINPROGRESS);
    if (up) {
        // The kernel completes a loopback handshake on its own; a bounded wait, never the Qt loop.
        pollfd probe{server, POLLOUT, 0};
        int error = 0;
        socklen_t length = sizeof error;
        up = ::poll(&probe, 1, 2000) == 1 && ::getsockopt(server, SOL_SOCKET, SO_ERROR, &error, &length) == 0
            && error == 0;
    }
    if (!up) {
        if (server >= 0)
            ::close(server);
        CloseWithReset(client);
        return;
    }
    NoDelay(client);
    NoDelay(server);

    auto* link = new Link;
    link->Id = m_accepted;
    link->Client = client;
    link->Server = server;
    link->Up = new RelayLeg(client, server, Upstream, this);
    link->Down = new RelayLeg(server, client, Downstream, this);
    m_links.append(link);
    for (RelayLeg* leg : {link->Up.data(), link->Down.data()}) {
        leg->Allowance = [this, link] {
            return ResetAfterBytes < 0 ? qint64(-1) : std::max<qint64>(0, ResetAfterBytes - link->Passed);
        };
        leg->Passed = [link](qint64 count) { link->Passed += count; };
        // Queued, and by number: a leg never sees its relay tear it down from inside its own handler.
        const int id = link->Id;
        connect(leg, &RelayLeg::Broken, this, [this, id] { Finish(id, true); }, Qt::QueuedConnection);
        connect(leg, &RelayLeg::AllowanceSpent, this, [this, id] { Finish(id, true); }, Qt::QueuedConnection);
        connect(leg, &RelayLeg::Ended, this, [this, id] {
            Link* ended = Find(id);
            if (ended && ++ended->Ended == 2)
                Finish(id, false);
        }, Qt::QueuedConnection);
    }
}

TcpRelay::Link* TcpRelay::Find(int id) const
{
    const auto found = std::find_if(m_links.begin(), m_links.end(), [id](const Link* link) { return link->Id == id; });
    return found == m_links.end() ? nullptr : *found;
}

void TcpRelay::Finish(int id, bool reset)
{
    Link* link = Find(id);
    if (!link)
        return;
    m_links.removeOne(link);
    for (RelayLeg* leg : {link->Up.data(), link->Down.data()}) {
        if (leg) {
            leg->Stop();
            leg->deleteLater();
        }
    }
    if (reset) {
        ++m_resets;
        CloseWithReset(link->Client);
        CloseWithReset(link->Server);
    } else {
        ::close(link->Client);
        ::close(link->Server);
    }
    delete link;
}
