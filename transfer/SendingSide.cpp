#include "SendingSide.h"

#include "LocalAddress.h"
#include "Protocol.h"
#include "TClientSocket.h"
#include "TransferView.h"

#include <QFileInfo>
#include <QScopedValueRollback>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace {
const QString kConnectCaption = QStringLiteral("&Connect");
const QString kDisconnectCaption = QStringLiteral("&Disconnect");

QString CannotConnectText(const QString& address)
{
    return QStringLiteral("Can not Connect to ") + address + QStringLiteral("! Try it again later.");
}
} // namespace

SendingSide::SendingSide(TransferState& state, const TransferSettings& settings, TClientSocket& cs,
                         TransferView& view)
    : m_state(state), m_settings(settings), m_cs(cs), m_view(view)
{
    m_cs.OnConnect = [this](TCustomWinSocket& Socket) { csConnect(Socket); };
    m_cs.OnRead = [this](TCustomWinSocket& Socket) { csRead(Socket); };
    m_cs.OnWrite = [this](TCustomWinSocket& Socket) { csWrite(Socket); };
    m_cs.OnDisconnect = [this](TCustomWinSocket& Socket) { csDisconnect(Socket); };
    m_cs.OnError = [this](TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode) {
        csError(Socket, ErrorEvent, ErrorCode);
    };
}

void SendingSide::ForgetTransfer()
{
    m_state.Transferring = false;
    m_state.BytesDone = 0;
    m_state.SenderRole = true;
    m_state.CloseFile();
    ResetBlocks();
    m_offerPending = false;
}

void SendingSide::Button5Click()
{
    m_state.Connected = false;
    ForgetTransfer();

    if (m_view.ConnectCaption() != kConnectCaption) {
        m_cs.Close();
        return;
    }
    const QString address = m_view.AddressText();
    if (address.isEmpty()) {
        m_view.ShowNotice(QStringLiteral("Error"), QStringLiteral("Please input your friend's IP address !"));
        return;
    }
    m_cs.setAddress(address);
    m_cs.setPort(TransferPort);
    m_cs.Open();
}

void SendingSide::Button2Click()
{
    ForgetTransfer();

    const QString path = m_view.ChooseFileToSend();
    if (path.isEmpty())
        return;
    m_state.FileName = path;
    const QString name = QFileInfo(path).fileName();

    // Measure now; the size announced later is this one.
    qint64 size = 0;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            m_view.ShowNotice(QStringLiteral("Error"),
                              QStringLiteral("Cannot open file ") + name + QStringLiteral(" : ") + file.errorString());
            return;
        }
        size = file.size();
    }
    // Sizes travel as signed 32-bit numbers; a larger file would arrive cut short.
    if (size > std::numeric_limits<int32_t>::max()) {
        m_view.ShowNotice(QStringLiteral("Error"),
                          name + QStringLiteral(" is too large: files of 2 GiB or more cannot be sent."));
        return;
    }
    m_state.FileSize = static_cast<int32_t>(size);
    if (m_state.FileSize == 0) {
        m_view.ShowPlainMessage(path + QStringLiteral(" Size is Zero!"));
        return;
    }

    m_view.SetStatus(StatusColour::Black, QStringLiteral("Waiting for your friend to respond ..."));
    m_state.SenderAddress = LocalAddress();
    m_state.ReceiverAddress = m_view.AddressText();
    m_offerPending = true;
    m_cs.Socket().WriteText(Protocol::OfferFile(name, m_state.SenderAddress));
}

void SendingSide::CancelTransfer()
{
    m_state.Transferring = false;
    m_cs.Close();
}

void SendingSide::csConnect(TCustomWinSocket&)
{
    m_state.Connected = true;
    m_view.SetReceiveModeEnabled(false);
    m_view.SetConnectCaption(kDisconnectCaption);
    m_view.SetTransferFilesEnabled(true);
    m_view.SetStatus(StatusColour::Black, QStringLiteral("Connect successfully, you can transfer your file now !"));
}

void SendingSide::csRead(TCustomWinSocket& Socket)
{
    // Every message to this side is a single code; two that arrive together are both answered. The
    // codes go into a small buffer on the stack: a block request costs no allocation and no query of
    // the count waiting, and codes beyond the buffer raise the next read event.
    char text[256];
    const int count = Socket.ReadBlock(text, static_cast<int>(sizeof text));
    for (int i = 0; i < count; ++i) {
        const char code = text[i];
        switch (code) {
        case Protocol::RefuseFileCode:
            OnRefused();
            break;
        case Protocol::AcceptFileCode:
            OnAccepted(Socket);
            break;
        case Protocol::RequestBlockCode:
            OnBlockRequested(Socket);
            break;
        case Protocol::TransferDoneCode:
            OnTransferDone();
            break;
        default:
            break;
        }
    }
}

void SendingSide::csWrite(TCustomWinSocket& Socket)
{
    if (m_state.FileStream)
        SendOwedBlocks(Socket);
}

void SendingSide::OnRefused()
{
    if (!m_offerPending)
        return;
    m_offerPending = false;
    m_state.CloseFile();
    m_view.ShowNotice(QStringLiteral("Prompt"), QStringLiteral("Your friend refused your file !!"));
    m_view.SetStatus(StatusColour::Red, QStringLiteral("Transfer refused , Ready again..."));
}

void SendingSide::OnAccepted(TCustomWinSocket& Socket)
{
    if (!m_offerPending)
        return;
    m_offerPending = false;

    auto file = std::make_unique<QFile>(m_state.FileName);
    if (!file->open(QIODevice::ReadOnly))
        throw std::runtime_error(("Cannot open file " + m_state.FileName).toStdString());
    m_state.FileStream = std::move(file);
    ResetBlocks();

    Socket.WriteText(Protocol::AnnounceSize(m_state.FileSize));
    m_state.Transferring = true;
    m_view.OpenTransferWindow({m_state.SenderAddress, m_view.AddressText(), m_state.FileName, m_state.FileSize});
}

void SendingSide::OnBlockRequested(TCustomWinSocket& Socket)
{
    if (!m_state.FileStream)
        return;
    // A flood of requests from a peer that does not read must not overflow the count.
    if (m_owedBlocks < std::numeric_limits<int>::max())
        ++m_owedBlocks;
    SendOwedBlocks(Socket);
}

void SendingSide::SendOwedBlocks(TCustomWinSocket& Socket)
{
    for (;;) {
        // Finish the block in hand first: the receiver counts bytes, so none may be skipped.
        if (m_blockSent < m_block.size()) {
            const int taken = Socket.WriteBlock(m_block.constData() + m_blockSent,
                                                static_cast<int>(m_block.size() - m_blockSent));
            if (taken > 0 && m_state.FileStream) {
                m_blockSent += taken;
                m_state.BytesDone += taken;
                m_view.SetTransferProgress(m_state.BytesDone);
            }
            // The rest goes out on the next write notification.
            if (m_blockSent < m_block.size())
                return;
        }
        if (m_owedBlocks == 0 || !m_state.FileStream)
            return;
        --m_owedBlocks;

        // Never more than announced, even if the file has grown since it was measured.
        const int64_t left = std::max<int64_t>(0, int64_t{m_state.FileSize} - m_fileOffset);
        const int count = static_cast<int>(std::min<int64_t>(m_settings.BlockSize, left));
        if (count == 0)
            continue;
        m_block.resize(count);
        m_blockSent = 0;
        const qint64 got = m_state.FileStream->read(m_block.data(), count);
        if (got != count) {
            const QString reason = got < 0 ? m_state.FileStream->errorString()
                                           : QStringLiteral("the file became shorter while it was being sent.");
            AbortTransfer(reason);
            return;
        }
        m_fileOffset += count;
    }
}

void SendingSide::AbortTransfer(const QString& reason)
{
    const QString name = QFileInfo(m_state.FileName).fileName();
    m_state.Transferring = false;
    m_state.CloseFile();
    ResetBlocks();
    m_view.FinishTransferWindow();
    // Closing tells the receiver the transfer is over; the disconnect handling resets the window.
    m_cs.Close();
    m_view.ShowNotice(QStringLiteral("Error"), QStringLiteral("Cannot read ") + name + QStringLiteral(" : ") + reason);
}

void SendingSide::OnTransferDone()
{
    if (!m_state.FileStream)
        return;
    // The receiver counts what we sent, so it cannot be done before every byte left; a "6" earlier
    // comes from a broken or hostile peer and must not be reported as a completed transfer.
    const bool allSent = m_fileOffset >= m_state.FileSize && m_blockSent >= m_block.size();
    m_state.Transferring = false;
    m_state.BytesDone = 0;
    m_state.CloseFile();
    ResetBlocks();
    m_view.FinishTransferWindow();
    if (!allSent) {
        m_view.SetStatus(StatusColour::Red, QStringLiteral("Transfer incomplete, Ready again..."));
        m_view.ShowNotice(QStringLiteral("Error"),
                          QStringLiteral("Your friend ended the transfer before the whole file was sent !!"));
        return;
    }
    m_view.ShowNotice(QStringLiteral("Prompt"), QStringLiteral("Transfer completed !!"));
}

void SendingSide::csDisconnect(TCustomWinSocket&)
{
    if (m_closingQuietly)
        return;
    m_state.Connected = false;
    m_state.BytesDone = 0;
    m_state.CloseFile();
    ResetBlocks();
    m_offerPending = false;
    ResetToDisconnected();
    const QString address = m_view.AddressText();
    m_view.SetStatus(StatusColour::Red, QStringLiteral("Disconnect to ") + address + QStringLiteral("..."));
    if (m_state.Transferring) {
        m_view.ShowNotice(QStringLiteral("Error"), QStringLiteral("Transfer was terminated by ") + address + QStringLiteral(" !"));
        m_state.Transferring = false;
    }
}

void SendingSide::csError(TCustomWinSocket&, TErrorEvent ErrorEvent, int& ErrorCode)
{
    m_state.Connected = false;
    m_state.Transferring = false;
    m_state.BytesDone = 0;
    m_state.CloseFile();
    ResetBlocks();
    m_offerPending = false;
    ResetToDisconnected();
    m_view.SetStatus(StatusColour::Red, QStringLiteral("Error"));

    QString notice;
    const QString address = m_view.AddressText();
    switch (ErrorEvent) {
    case TErrorEvent::ekGeneral:
        notice = QStringLiteral("Unknow error !!");
        break;
    case TErrorEvent::ekSend:
        notice = QStringLiteral("Transfer error !!");
        break;
    case TErrorEvent::ekReceive:
        notice = QStringLiteral("Receive error !!");
        break;
    case TErrorEvent::ekConnect:
        m_view.SetStatus(StatusColour::Red, QStringLiteral("Connection failure..."));
        notice = CannotConnectText(address);
        break;
    case TErrorEvent::ekDisconnect:
        notice = CannotConnectText(address);
        break;
    default:
        break;
    }
    ErrorCode = 0;

    // Release the broken connection so that the next Connect starts a new attempt; the window is
    // already reset, so its disconnect handling must not run again.
    {
        const QScopedValueRollback quiet(m_closingQuietly, true);
        m_cs.Close();
    }
    if (!notice.isEmpty())
        m_view.ShowNotice(QStringLiteral("Error"), notice);
}

void SendingSide::ResetBlocks()
{
    m_block.clear();
    m_blockSent = 0;
    m_owedBlocks = 0;
    m_fileOffset = 0;
}

void SendingSide::ResetToDisconnected()
{
    m_view.SetReceiveModeEnabled(true);
    m_view.SetTransferFilesEnabled(false);
    m_view.SetConnectCaption(kConnectCaption);
}
