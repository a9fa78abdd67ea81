#pragma once

#include "SocketEvents.h"
#include "TServerWinSocket.h"

#include <QObject>
#include <QString>

// The listening endpoint (`ss`): accepts every peer on all local addresses; each accepted
// connection raises its own client events with itself as Socket.
class TServerSocket : public QObject, private TSocketSink {
    Q_OBJECT

public:
    explicit TServerSocket(QObject* parent = nullptr);

    bool Active() const { return m_socket.Active(); }
    // true binds and listens (a failure raises and leaves it closed); false drops every accepted
    // connection without events, then stops listening.
    void setActive(bool active);
    void Open() { setActive(true); }
    void Close() { setActive(false); }

    int Port() const { return m_port; }
    void setPort(int port);
    QString Service() const { return m_service; }
    void setService(const QString& service);

    TServerWinSocket& Socket() { return m_socket; }

    TSocketNotifyEvent OnListen;
    TSocketNotifyEvent OnAccept;
    TSocketNotifyEvent OnClientConnect;
    TSocketNotifyEvent OnClientDisconnect;
    TSocketNotifyEvent OnClientRead;
    TSocketNotifyEvent OnClientWrite;
    TSocketErrorEvent OnClientError;

private:
    void SocketEvent(TCustomWinSocket& Socket, TSocketEvent event) override;
    void SocketError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode) override;

    TServerWinSocket m_socket;
    QString m_service;
    int m_port = 0;
};
