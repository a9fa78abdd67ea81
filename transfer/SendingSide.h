#pragma once

#include "SocketEvents.h"
#include "TransferState.h"

#include <QByteArray>

class TClientSocket;
class TCustomWinSocket;
class TransferView;

// The copy that connects and offers files; it takes over the endpoint's events. It owns nothing
// beyond the block being sent: the transfer state and settings belong to the main window.
class SendingSide {
public:
    SendingSide(TransferState& state, const TransferSettings& settings, TClientSocket& cs, TransferView& view);
    SendingSide(const SendingSide&) = delete;
    SendingSide& operator=(const SendingSide&) = delete;

    // Connect / Disconnect, also from Enter in the address box.
    void Button5Click();
    // Transfer files.
    void Button2Click();
    // The transfer window's Cancel, answered yes.
    void CancelTransfer();

    void csConnect(TCustomWinSocket& Socket);
    void csRead(TCustomWinSocket& Socket);
    void csWrite(TCustomWinSocket& Socket);
    void csDisconnect(TCustomWinSocket& Socket);
    void csError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode);

private:
    // What every user action starts from: no transfer, no file, no offer.
    void ForgetTransfer();
    void OnRefused();
    void OnAccepted(TCustomWinSocket& Socket);
    void OnBlockRequested(TCustomWinSocket& Socket);
    void OnTransferDone();
    void SendOwedBlocks(TCustomWinSocket& Socket);
    void AbortTransfer(const QString& reason);
    void ResetBlocks();
    void ResetToDisconnected();

    TransferState& m_state;
    const TransferSettings& m_settings;
    TClientSocket& m_cs;
    TransferView& m_view;

    // A block the connection has not taken in full yet, and requests not yet answered.
    QByteArray m_block;
    qsizetype m_blockSent = 0;
    int m_owedBlocks = 0;
    int64_t m_fileOffset = 0;
    bool m_offerPending = false;
    bool m_closingQuietly = false;
};
