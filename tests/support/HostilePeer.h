#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>

#include <functional>

class QSocketNotifier;

// A peer that speaks raw TCP on 127.0.0.1 and sends whatever a test tells it to: the other side of the
// program's sockets when that side must misbehave. It runs on the Qt loop (non-blocking socket and
// notifiers), reads everything that arrives into Received, and can end the connection in order or with
// a reset. Every wait is bounded.
class HostilePeer : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 10000;

    HostilePeer() = default;
    ~HostilePeer() override;
    HostilePeer(const HostilePeer&) = delete;
    HostilePeer& operator=(const HostilePeer&) = delete;

    // Connects to 127.0.0.1:port; true once the connection is up.
    bool ConnectTo(quint16 port, int timeoutMs = DefaultTimeoutMs);
    // Listens on 127.0.0.1:port; Accept then takes the first peer that connects and stops listening.
    bool Listen(quint16 port);
    bool Accept(int timeoutMs = DefaultTimeoutMs);

    // Queued and sent as the socket takes it, in one send per call where it fits.
    void Send(const QByteArray& bytes);
    bool AllSent() const { return m_outgoing.isEmpty(); }
    // Stops (or resumes) reading, so that the other side's sends fill the connection.
    void SetReading(bool reading);

    // Ends the connection with a reset (SO_LINGER 0) instead of an orderly close.
    void Reset();
    // Orderly close; bytes not yet sent are dropped.
    void Close();

    bool Connected() const { return m_fd >= 0; }
    bool PeerClosed() const { return m_peerClosed; }
    bool WasReset() const { return m_wasReset; }

    QByteArray Received;

    // Runs the loop until done() holds; false on timeout.
    static bool WaitFor(const std::function<bool()>& done, int timeoutMs = DefaultTimeoutMs);

private:
    void Adopt(int fd);
    void Release();
    void StopListening();
    void OnReadable();
    void OnWritable();
    void Flush();

    int m_fd = -1;
    int m_listener = -1;
    QPointer<QSocketNotifier> m_readNotifier;
    QPointer<QSocketNotifier> m_writeNotifier;
    QByteArray m_outgoing;
    bool m_reading = true;
    bool m_peerClosed = false;
    bool m_wasReset = false;
};
