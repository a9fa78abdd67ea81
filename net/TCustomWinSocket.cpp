#include "TCustomWinSocket.h"

#include "ESocketError.h"
#include "Posix.h"
#include "TSocketNotifier.h"

#include <QScopeGuard>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

TCustomWinSocket::TCustomWinSocket(TSocketSink* sink, QObject* parent) : QObject(parent), m_sink(sink)
{
}

TCustomWinSocket::~TCustomWinSocket()
{
    Detach();
}

void TCustomWinSocket::Attach(int fd, bool listening)
{
    m_fd = fd;
    m_readRaised = false;
    m_listening = listening;
    m_readNotifier = new TSocketNotifier(fd, QSocketNotifier::Read, [this] { OnReadReady(); }, this);
    if (!listening)
        m_writeNotifier = new TSocketNotifier(fd, QSocketNotifier::Write, [this] { OnWriteReady(); }, this);
}

void TCustomWinSocket::StopNotifiers()
{
    // A notifier may be the sender of the signal being handled: disable now, delete later.
    for (QPointer<QSocketNotifier>* notifier : {&m_readNotifier, &m_writeNotifier}) {
        if (*notifier) {
            (*notifier)->setEnabled(false);
            (*notifier)->deleteLater();
            *notifier = nullptr;
        }
    }
}

void TCustomWinSocket::Detach()
{
    // Notifiers go before the descriptor, so that a reused number cannot wake a stale one.
    StopNotifiers();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connected = false;
    m_connecting = false;
    m_listening = false;
    m_address = 0;
    m_port = 0;
}

void TCustomWinSocket::ArmRead()
{
    if (m_readNotifier && !m_inCloseStep)
        m_readNotifier->setEnabled(true);
}

void TCustomWinSocket::ArmWrite()
{
    if (m_writeNotifier && !m_inCloseStep)
        m_writeNotifier->setEnabled(true);
}

void TCustomWinSocket::CloseStep()
{
    if (m_fd < 0 || m_inCloseStep)
        return;
    const int fd = m_fd;
    m_inCloseStep = true;
    // Nothing more is wanted from this socket, but the handler can still read what is waiting.
    if (m_readNotifier)
        m_readNotifier->setEnabled(false);
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(false);
    BeforeDisconnectEvent();
    try {
        Raise(TSocketEvent::Disconnect);
    } catch (...) {
        m_inCloseStep = false;
        if (m_fd == fd)
            Detach();
        AfterCloseStep();
        throw;
    }
    m_inCloseStep = false;
    // The handler may have closed it already.
    if (m_fd == fd)
        Detach();
    AfterCloseStep();
}

void TCustomWinSocket::Close()
{
    CloseStep();
}

void TCustomWinSocket::Raise(TSocketEvent event)
{
    if (!m_sink)
        return;
    ++m_handlersRunning;
    const auto leave = qScopeGuard([this] { LeaveHandler(); });
    m_sink->SocketEvent(*this, event);
}

bool TCustomWinSocket::RaiseError(TErrorEvent kind, int& code)
{
    if (m_sink) {
        ++m_handlersRunning;
        const auto leave = qScopeGuard([this] { LeaveHandler(); });
        m_sink->SocketError(*this, kind, code);
    }
    return code == 0;
}

void TCustomWinSocket::LeaveHandler()
{
    if (--m_handlersRunning == 0 && m_releasePending)
        deleteLater();
}

void TCustomWinSocket::ReleaseWhenIdle()
{
    m_releasePending = true;
    if (m_handlersRunning == 0)
        deleteLater();
}

void TCustomWinSocket::NotificationError(TErrorEvent kind, int code)
{
    if (!RaiseError(kind, code))
        throw ESocketError("Asynchronous socket error " + std::to_string(code));
}

void TCustomWinSocket::OnReadReady()
{
    if (m_fd < 0)
        return;
    if (m_listening) {
        HandleAccept();
        return;
    }
    // Read rule: one read event until the handler receives. A handler that has not received yet (it
    // may be in a modal loop) is not woken again for the same bytes.
    if (m_readRaised) {
        m_readNotifier->setEnabled(false);
        return;
    }

    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) == 0 && waiting > 0) {
        RaiseRead();
        return;
    }
    // Nothing waiting: the end of the stream, a reset, or a spurious wake-up.
    char probe = 0;
    const ssize_t peeked = ::recv(m_fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT);
    if (peeked > 0) {
        RaiseRead();
    } else if (peeked == 0) {
        CloseStep();
    } else if (Posix::NotReady(errno)) {
        ArmRead();
    } else {
        // A reset: nothing is closed, and nothing more is reported for this socket.
        const int code = errno;
        StopNotifiers();
        NotificationError(TErrorEvent::ekDisconnect, code);
    }
}

void TCustomWinSocket::RaiseRead()
{
    // The notifier stays on while the handler runs: turning it off and on again for every event
    // would cost the event loop an extra wake-up per block. The receive clears the flag.
    m_readRaised = true;
    const auto settle = qScopeGuard([this] {
        if (m_readRaised && m_readNotifier)
            m_readNotifier->setEnabled(false);
    });
    Raise(TSocketEvent::Read);
}

void TCustomWinSocket::OnWriteReady()
{
    if (m_fd < 0)
        return;
    m_writeNotifier->setEnabled(false);
    if (m_connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        if (::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        m_connecting = false;
        HandleConnectComplete(error);
        return;
    }
    Raise(TSocketEvent::Write);
}

int TCustomWinSocket::WriteText(const QByteArray& text)
{
    return WriteBlock(text.constData(), static_cast<int>(text.size()));
}

int TCustomWinSocket::WriteBlock(const void* buffer, int count)
{
    if (!m_connected || m_fd < 0)
        return 0;
    count = std::max(count, 0);
    const ssize_t sent = ::send(m_fd, buffer, static_cast<size_t>(count), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0) {
        if (sent < count)
            ArmWrite();
        return static_cast<int>(sent);
    }
    int code = errno;
    if (Posix::NotReady(code)) {
        ArmWrite();
        return -1;
    }
    const int original = code;
    const bool cleared = RaiseError(TErrorEvent::ekSend, code);
    CloseStep();
    if (!cleared)
        Posix::RaiseApiError(original, "send");
    return -1;
}

int TCustomWinSocket::BytesWaiting()
{
    if (!m_connected || m_fd < 0)
        return 0;
    int waiting = 0;
    if (::ioctl(m_fd, FIONREAD, &waiting) != 0)
        return 0;
    return waiting;
}

QByteArray TCustomWinSocket::ReadAllText()
{
    if (!m_connected || m_fd < 0)
        return {};
    const int waiting = BytesWaiting();
    QByteArray text(waiting, Qt::Uninitialized);
    const ssize_t received = ::recv(m_fd, text.data(), static_cast<size_t>(waiting), MSG_DONTWAIT);
    AfterReceive(static_cast<int>(received), "recv");
    if (received <= 0)
        return {};
    text.truncate(received);
    return text;
}

int TCustomWinSocket::ReadBlock(void* buffer, int count)
{
    if (!m_connected || m_fd < 0)
        return 0;
    count = std::max(count, 0);
    const ssize_t received = ::recv(m_fd, buffer, static_cast<size_t>(count), MSG_DONTWAIT);
    AfterReceive(static_cast<int>(received), "recv");
    return received < 0 ? -1 : static_cast<int>(received);
}

void TCustomWinSocket::AfterReceive(int result, const char* api)
{
    m_readRaised = false;
    if (result >= 0) {
        ArmRead();
        return;
    }
    int code = errno;
    if (Posix::NotReady(code)) {
        ArmRead();
        return;
    }
    const int original = code;
    const bool cleared = RaiseError(TErrorEvent::ekReceive, code);
    CloseStep();
    if (!cleared)
        Posix::RaiseApiError(original, api);
}

QString TCustomWinSocket::RemoteAddress() const
{
    if (m_fd < 0)
        return {};
    sockaddr_in peer{};
    socklen_t length = sizeof peer;
    if (::getpeername(m_fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0)
        return {};
    return Posix::AddressToText(peer.sin_addr.s_addr);
}

quint16 TCustomWinSocket::LocalPort() const
{
    if (m_fd < 0)
        return 0;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}
