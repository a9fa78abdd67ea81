#pragma once

#include "SocketEvents.h"
#include "TransferState.h"

#include <QPointer>
#include <QString>
#include <QTimer>

#include <vector>

class TServerSocket;
class TCustomWinSocket;
class TransferView;

// The copy that listens, asks its user about each offer, writes the file and asks for every block;
// it takes over the endpoint's events. One sender at a time: further peers are turned away while one
// is connected.
//
// Control messages have no framing, and a network may cut one across several reads. A sender always
// waits for an answer after each of its messages, so the text counts as complete once nothing more
// has arrived for ControlQuietMs; no fragment is ever acted on.
class ReceivingSide {
public:
    static constexpr int ControlQuietMs = 25;
    // Longer control text is garbage: no offer or size needs a tenth of it.
    static constexpr int MaxControlBytes = 64 * 1024;
    // Buffers taken in one read event at most, so that the windows stay responsive meanwhile.
    static constexpr int BuffersPerReadEvent = 32;

    ReceivingSide(TransferState& state, const TransferSettings& settings, TServerSocket& ss, TransferView& view);
    ReceivingSide(const ReceivingSide&) = delete;
    ReceivingSide& operator=(const ReceivingSide&) = delete;

    // True while control text waits for its quiet spell.
    bool ControlPending() const { return m_controlQuiet.isActive(); }
    // Tests and the fuzzer shorten the quiet spell to run many messages quickly.
    void SetControlQuietMs(int ms) { m_controlQuiet.setInterval(ms); }

    // Receive / Stop.
    void Button3Click();
    // The transfer window's Cancel, answered yes.
    void CancelTransfer();

    void ssClientConnect(TCustomWinSocket& Socket);
    void ssClientRead(TCustomWinSocket& Socket);
    void ssClientDisconnect(TCustomWinSocket& Socket);
    void ssClientError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode);

private:
    bool IsPeer(const TCustomWinSocket& Socket) const;
    void OnControlQuiet();
    void HandleControl(TCustomWinSocket& Socket, const QByteArray& text);
    void OnOffer(TCustomWinSocket& Socket, const QByteArray& text);
    void OnSizeAnnounced(TCustomWinSocket& Socket, const QByteArray& text);
    void ReadData(TCustomWinSocket& Socket);
    void FailWrite(TCustomWinSocket& Socket, const QString& reason);
    void ResetTransfer();

    TransferState& m_state;
    const TransferSettings& m_settings;
    TServerSocket& m_ss;
    TransferView& m_view;

    QPointer<TCustomWinSocket> m_peer;
    QString m_savePath;
    std::vector<char> m_buffer;
    bool m_asking = false;
    // A file was accepted and created; only now may a size start the data phase.
    bool m_awaitingSize = false;
    QByteArray m_control;
    QTimer m_controlQuiet;
};
