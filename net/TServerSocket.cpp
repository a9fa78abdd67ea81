#include "TServerSocket.h"

#include "ESocketError.h"

namespace {
void Call(const TSocketNotifyEvent& handler, TCustomWinSocket& Socket)
{
    if (handler)
        handler(Socket);
}
} // namespace

TServerSocket::TServerSocket(QObject* parent) : QObject(parent), m_socket(this, this)
{
}

void TServerSocket::setActive(bool active)
{
    if (active)
        m_socket.Listen(static_cast<quint16>(m_port));
    else
        m_socket.Stop();
}

void TServerSocket::setPort(int port)
{
    if (port == m_port)
        return;
    if (Active())
        throw ESocketError("Can't change value while socket is active");
    m_port = port;
}

void TServerSocket::setService(const QString& service)
{
    if (m_service.compare(service, Qt::CaseInsensitive) == 0)
        return;
    if (Active())
        throw ESocketError("Can't change value while socket is active");
    m_service = service;
}

void TServerSocket::SocketEvent(TCustomWinSocket& Socket, TSocketEvent event)
{
    if (&Socket == &m_socket) {
        if (event == TSocketEvent::Listen)
            Call(OnListen, Socket);
        return;
    }
    switch (event) {
    case TSocketEvent::Connect:
        Call(OnClientConnect, Socket);
        break;
    case TSocketEvent::Accept:
        Call(OnAccept, Socket);
        break;
    case TSocketEvent::Disconnect:
        Call(OnClientDisconnect, Socket);
        break;
    case TSocketEvent::Read:
        Call(OnClientRead, Socket);
        break;
    case TSocketEvent::Write:
        Call(OnClientWrite, Socket);
        break;
    case TSocketEvent::Lookup:
    case TSocketEvent::Connecting:
    case TSocketEvent::Listen:
        break;
    }
}

void TServerSocket::SocketError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode)
{
    // The listening socket's own errors have no handler: the layer raises them.
    if (&Socket != &m_socket && OnClientError)
        OnClientError(Socket, ErrorEvent, ErrorCode);
}
