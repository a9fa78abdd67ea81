#include "TClientSocket.h"

#include "ESocketError.h"

namespace {
void Call(const TSocketNotifyEvent& handler, TCustomWinSocket& Socket)
{
    if (handler)
        handler(Socket);
}

[[noreturn]] void RaiseActive()
{
    throw ESocketError("Can't change value while socket is active");
}
} // namespace

TClientSocket::TClientSocket(QObject* parent) : QObject(parent), m_socket(this, this)
{
}

void TClientSocket::setActive(bool active)
{
    if (active) {
        m_socket.Open(m_address, static_cast<quint16>(m_port));
        return;
    }
    if (m_socket.Active() && m_socket.Connected())
        m_socket.Close();
}

void TClientSocket::ChangeText(QString& value, const QString& text)
{
    if (value.compare(text, Qt::CaseInsensitive) == 0)
        return;
    if (Active())
        RaiseActive();
    value = text;
}

void TClientSocket::setAddress(const QString& address) { ChangeText(m_address, address); }
void TClientSocket::setHost(const QString& host) { ChangeText(m_host, host); }
void TClientSocket::setService(const QString& service) { ChangeText(m_service, service); }

void TClientSocket::setPort(int port)
{
    if (port == m_port)
        return;
    if (Active())
        RaiseActive();
    m_port = port;
}

void TClientSocket::SocketEvent(TCustomWinSocket& Socket, TSocketEvent event)
{
    switch (event) {
    case TSocketEvent::Lookup:
        Call(OnLookup, Socket);
        break;
    case TSocketEvent::Connecting:
        Call(OnConnecting, Socket);
        break;
    case TSocketEvent::Connect:
        Call(OnConnect, Socket);
        break;
    case TSocketEvent::Disconnect:
        Call(OnDisconnect, Socket);
        break;
    case TSocketEvent::Read:
        Call(OnRead, Socket);
        break;
    case TSocketEvent::Write:
        Call(OnWrite, Socket);
        break;
    case TSocketEvent::Accept:
    case TSocketEvent::Listen:
        break;
    }
}

void TClientSocket::SocketError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode)
{
    if (OnError)
        OnError(Socket, ErrorEvent, ErrorCode);
}
