#pragma once

#include "TCustomWinSocket.h"

// The client endpoint's connection. Active reads true from the connect event until the close step.
class TClientWinSocket : public TCustomWinSocket {
    Q_OBJECT

public:
    explicit TClientWinSocket(TSocketSink* sink, QObject* parent = nullptr);

    bool Active() const { return m_active; }
    // Starts an attempt; a pending or failed one is given up first.
    void Open(const QString& address, quint16 port);

protected:
    void BeforeDisconnectEvent() override { m_active = false; }
    void HandleConnectComplete(int error) override;

private:
    bool m_active = false;
};
