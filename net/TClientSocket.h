#pragma once

#include "SocketEvents.h"
#include "TClientWinSocket.h"

#include <QObject>
#include <QString>

// The connecting endpoint (`cs`): connects to a dotted IPv4 address, never looks up a name.
class TClientSocket : public QObject, private TSocketSink {
    Q_OBJECT

public:
    explicit TClientSocket(QObject* parent = nullptr);

    // True from the connect event until the close step; false while an attempt is pending.
    bool Active() const { return m_socket.Active(); }
    // true starts an attempt (OnConnect or an ekConnect error follows); false closes a connection,
    // raising OnDisconnect before it returns, and leaves a pending attempt alone.
    void setActive(bool active);
    void Open() { setActive(true); }
    void Close() { setActive(false); }

    // Changing a value while Active raises "Can't change value while socket is active".
    QString Address() const { return m_address; }
    void setAddress(const QString& address);
    QString Host() const { return m_host; }
    void setHost(const QString& host);
    QString Service() const { return m_service; }
    void setService(const QString& service);
    int Port() const { return m_port; }
    void setPort(int port);

    TClientWinSocket& Socket() { return m_socket; }

    TSocketNotifyEvent OnLookup;
    TSocketNotifyEvent OnConnecting;
    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnDisconnect;
    TSocketNotifyEvent OnRead;
    TSocketNotifyEvent OnWrite;
    TSocketErrorEvent OnError;

private:
    void SocketEvent(TCustomWinSocket& Socket, TSocketEvent event) override;
    void SocketError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode) override;
    void ChangeText(QString& value, const QString& text);

    TClientWinSocket m_socket;
    QString m_address;
    QString m_host;
    QString m_service;
    int m_port = 0;
};
