#pragma once

#include "TCustomWinSocket.h"

#include <QList>

class TServerClientWinSocket;

// The listening socket and the connections it accepted, in order of acceptance.
class TServerWinSocket : public TCustomWinSocket {
    Q_OBJECT

public:
    explicit TServerWinSocket(TSocketSink* sink, QObject* parent = nullptr);
    ~TServerWinSocket() override;

    bool Active() const { return m_active; }
    // Binds all local addresses on the port and listens.
    void Listen(quint16 port);
    // Drops every accepted connection without events, newest first, then closes the listening socket.
    void Stop();

    int ActiveConnections() const { return static_cast<int>(m_connections.size()); }
    TCustomWinSocket* Connections(int index) const;

protected:
    void BeforeDisconnectEvent() override { m_active = false; }
    void HandleAccept() override;

private:
    friend class TServerClientWinSocket;
    void Forget(TServerClientWinSocket* connection);

    QList<TServerClientWinSocket*> m_connections;
    bool m_active = false;
};
