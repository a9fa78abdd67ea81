#pragma once

#include <functional>

class TCustomWinSocket;

// Error kinds carried by error events; the numbers are part of the contract.
enum class TErrorEvent : int {
    ekGeneral = 0,
    ekSend = 1,
    ekReceive = 2,
    ekConnect = 3,
    ekDisconnect = 4,
    ekAccept = 5,
    ekLookup = 6,
};

// An unassigned (empty) event does nothing.
using TSocketNotifyEvent = std::function<void(TCustomWinSocket& Socket)>;
// The handler may change ErrorCode; the layer raises its own exception only
// while it stays non-zero.
using TSocketErrorEvent = std::function<void(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode)>;
