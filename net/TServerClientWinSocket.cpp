#include "TServerClientWinSocket.h"

#include "TServerWinSocket.h"

TServerClientWinSocket::TServerClientWinSocket(int fd, TServerWinSocket* server, TSocketSink* sink)
    : TCustomWinSocket(sink, server), m_server(server)
{
    Attach(fd, false);
}

TServerClientWinSocket::~TServerClientWinSocket()
{
    if (m_server)
        m_server->Forget(this);
}

void TServerClientWinSocket::Start()
{
    m_connected = true;
    ArmRead();
}

void TServerClientWinSocket::Abandon()
{
    m_sink = nullptr;
    Detach();
    if (m_server)
        m_server->Forget(this);
    m_server = nullptr;
    ReleaseWhenIdle();
}

void TServerClientWinSocket::AfterCloseStep()
{
    ReleaseWhenIdle();
}
