#pragma once

#include "SocketEvents.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;

// The events a connection raises towards its owner.
enum class TSocketEvent { Lookup, Connecting, Connect, Disconnect, Read, Write, Accept, Listen };

// Where a connection sends its events and errors: the component that owns it.
class TSocketSink {
public:
    virtual void SocketEvent(TCustomWinSocket& Socket, TSocketEvent event) = 0;
    virtual void SocketError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode) = 0;

protected:
    ~TSocketSink() = default;
};

// One TCP connection on a non-blocking POSIX socket. Readiness reaches it through QSocketNotifiers
// on the GUI thread, which it turns into events:
// - read: once per burst; no further read event until a receive (ReadAllText / ReadBlock) is made;
// - write: after connecting, and after a send that would block or was taken in part;
// - close: an orderly end of stream runs the close step (disconnect event, socket still readable,
//   then closed); a reset arrives as an ekDisconnect error and leaves the connection "broken".
// Data that arrived before the end is always offered by read events first.
// Handlers may close the connection, or its endpoint, from inside any of its events.
class TCustomWinSocket : public QObject {
    Q_OBJECT

public:
    ~TCustomWinSocket() override;

    // One send of the whole text; no terminator, no length prefix.
    int WriteText(const QByteArray& text);
    // 0 when not connected; -1 when the send would block; otherwise the bytes the platform took.
    int WriteBlock(const void* buffer, int count);
    // What one receive can take now; 0 when not connected or when the query fails.
    int BytesWaiting();
    // One receive of everything waiting; "" when nothing was.
    QByteArray ReadAllText();
    // One receive of up to count bytes: the count, 0 when the peer has closed, -1 when nothing is ready.
    int ReadBlock(void* buffer, int count);
    // Runs the close step on this connection (its disconnect event included).
    void Close();

    bool Connected() const { return m_connected; }
    int SocketHandle() const { return m_fd; }
    QString RemoteAddress() const;
    quint16 LocalPort() const;

protected:
    explicit TCustomWinSocket(TSocketSink* sink, QObject* parent = nullptr);

    // Takes over a socket; notifiers for the wanted readiness are created with it.
    void Attach(int fd, bool listening);
    // Closes the socket without any event.
    void Detach();
    // Disconnect event, then the socket is closed. The hook runs before the event.
    void CloseStep();
    virtual void BeforeDisconnectEvent() {}
    virtual void AfterCloseStep() {}

    virtual void HandleAccept() {}
    virtual void HandleConnectComplete(int error) { (void)error; }

    void Raise(TSocketEvent event);
    // Destroys this object from the event loop once no handler that received it is still running,
    // however deep the modal loops those handlers opened.
    void ReleaseWhenIdle();
    // Error event; true when the handler cleared the code.
    bool RaiseError(TErrorEvent kind, int& code);
    // An error carried by a notification: the error event, then the layer's own exception if the
    // handler left the code set.
    void NotificationError(TErrorEvent kind, int code);

    void ArmRead();
    void ArmWrite();
    void StopNotifiers();

    TSocketSink* m_sink;
    int m_fd = -1;
    bool m_connected = false;
    bool m_connecting = false;
    bool m_listening = false;
    bool m_inCloseStep = false;
    quint32 m_address = 0;  // network order
    quint16 m_port = 0;     // host order

private:
    friend class TServerWinSocket;
    void LeaveHandler();
    void OnReadReady();
    void RaiseRead();
    void OnWriteReady();
    void AfterReceive(int result, const char* api);

    QPointer<QSocketNotifier> m_readNotifier;
    QPointer<QSocketNotifier> m_writeNotifier;
    bool m_readRaised = false;  // a read event is out and no receive has followed it
    int m_handlersRunning = 0;
    bool m_releasePending = false;
};
