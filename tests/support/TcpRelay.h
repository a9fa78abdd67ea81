#pragma once

#include "RelayLeg.h"

#include <QList>
#include <QObject>
#include <QPointer>

class QSocketNotifier;

// A TCP relay on loopback for network faults the kernel here cannot make: it listens on 127.0.0.1,
// connects every peer it accepts to 127.0.0.1:target, and carries the bytes both ways, delayed, cut
// into pieces, held back and released in bursts, or cut off by a reset after a number of bytes.
// Everything runs on the Qt loop of the calling thread.
class TcpRelay : public QObject {
    Q_OBJECT

public:
    TcpRelay() = default;
    ~TcpRelay() override;
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    // Listens on 127.0.0.1:port (0 picks a free one) and relays to 127.0.0.1:target.
    bool Listen(quint16 port, quint16 target);
    quint16 Port() const { return m_port; }

    // Applied to connections accepted from now on. Upstream carries the accepted peer's bytes.
    RelayShape Upstream;
    RelayShape Downstream;
    // Both ends of a connection are reset once this many bytes (both ways together) have passed.
    qint64 ResetAfterBytes = -1;

    int Accepted() const { return m_accepted; }
    int OpenLinks() const { return int(m_links.size()); }
    int Resets() const { return m_resets; }

private:
    struct Link {
        int Id = 0;
        int Client = -1;
        int Server = -1;
        QPointer<RelayLeg> Up;
        QPointer<RelayLeg> Down;
        qint64 Passed = 0;
        int Ended = 0;
    };

    void OnAcceptable();
    Link* Find(int id) const;
    void Finish(int id, bool reset);

    int m_listener = -1;
    quint16 m_port = 0;
    quint16 m_target = 0;
    QPointer<QSocketNotifier> m_acceptNotifier;
    QList<Link*> m_links;
    int m_accepted = 0;
    int m_resets = 0;
};
