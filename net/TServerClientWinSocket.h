#pragma once

#include "TCustomWinSocket.h"

class TServerWinSocket;

// A connection accepted by a listening socket. After its close step it is released from the loop
// that runs it, never while a handler that received it may still run.
class TServerClientWinSocket : public TCustomWinSocket {
    Q_OBJECT

public:
    TServerClientWinSocket(int fd, TServerWinSocket* server, TSocketSink* sink);
    ~TServerClientWinSocket() override;

    // The listening socket is closing: no more events, and release soon.
    void Abandon();

protected:
    void AfterCloseStep() override;

private:
    friend class TServerWinSocket;
    void Start();

    TServerWinSocket* m_server;
};
