#include "ReceivingSide.h"

#include "LocalAddress.h"
#include "Protocol.h"
#include "TServerSocket.h"
#include "TransferView.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <utility>
#include <limits>
#include <stdexcept>

namespace {
const QString kReceiveCaption = QStringLiteral("&Receive");
const QString kStopCaption = QStringLiteral("Sto&p");

// The offered name only pre-fills the save dialog: keep its last component and nothing that could
// lead the dialog elsewhere.
QString SuggestedSaveName(const QString& offered)
{
    QString name = offered.section(QLatin1Char('/'), -1).section(QLatin1Char('\\'), -1);
    // Format characters too: a right-to-left override can make "x\u202Etxt.exe" read as "xexe.txt".
    name.removeIf([](QChar c) { return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format; });
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("received file");
    // No file system takes a longer name.
    return name.left(255);
}
} // namespace

ReceivingSide::ReceivingSide(TransferState& state, const TransferSettings& settings, TServerSocket& ss,
                             TransferView& view)
    : m_state(state), m_settings(settings), m_ss(ss), m_view(view)
{
    m_ss.OnClientConnect = [this](TCustomWinSocket& Socket) { ssClientConnect(Socket); };
    m_ss.OnClientRead = [this](TCustomWinSocket& Socket) { ssClientRead(Socket); };
    m_ss.OnClientDisconnect = [this](TCustomWinSocket& Socket) { ssClientDisconnect(Socket); };
    m_ss.OnClientError = [this](TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode) {
        ssClientError(Socket, ErrorEvent, ErrorCode);
    };
    m_controlQuiet.setSingleShot(true);
    m_controlQuiet.setInterval(ControlQuietMs);
    QObject::connect(&m_controlQuiet, &QTimer::timeout, &m_controlQuiet, [this] { OnControlQuiet(); });
}

void ReceivingSide::Button3Click()
{
    m_state.BytesDone = 0;
    m_state.Transferring = false;
    m_state.SenderRole = false;
    m_state.ControlPhase = true;

    if (m_view.ReceiveCaption() != kReceiveCaption) {
        m_peer = nullptr;
        m_awaitingSize = false;
        m_control.clear();
        m_controlQuiet.stop();
        m_ss.Close();
        m_state.Connected = false;
        m_state.CloseFile();
        m_view.SetReceiveCaption(kReceiveCaption);
        m_view.SetSendModeEnabled(true);
        m_view.SetStatus(StatusColour::Black, QStringLiteral("Welcome to use the MOXELD to Pellwick  !"));
        return;
    }
    m_state.ReceiverAddress = LocalAddress();
    m_view.SetStatus(StatusColour::Black, QStringLiteral("Waiting for your friend connecting..."));
    m_ss.setPort(TransferPort);
    m_ss.Open();
    m_view.SetReceiveCaption(kStopCaption);
    m_view.SetSendModeEnabled(false);
}

void ReceivingSide::CancelTransfer()
{
    m_peer = nullptr;
    m_ss.Close();
    ResetTransfer();
    m_view.SetReceiveCaption(kReceiveCaption);
    m_view.SetSendModeEnabled(true);
    m_view.SetStatus(StatusColour::Red, QStringLiteral("Transfer canceled..."));
}

bool ReceivingSide::IsPeer(const TCustomWinSocket& Socket) const
{
    return m_peer == &Socket;
}

void ReceivingSide::ssClientConnect(TCustomWinSocket& Socket)
{
    // One transfer state, one output file: a second sender is turned away.
    if (m_peer && m_peer->Connected()) {
        Socket.Close();
        return;
    }
    m_peer = &Socket;
    m_state.Connected = true;
    m_view.SetStatus(StatusColour::Black, QStringLiteral("Connected, waiting for transferring..."));
}

void ReceivingSide::ssClientRead(TCustomWinSocket& Socket)
{
    if (!IsPeer(Socket)) {
        Socket.ReadAllText();
        return;
    }
    if (!m_state.ControlPhase) {
        ReadData(Socket);
        return;
    }
    const QByteArray text = Socket.ReadAllText();
    if (text.isEmpty())
        return;
    m_control += text.left(std::max<qsizetype>(0, MaxControlBytes - m_control.size()));
    m_controlQuiet.start();
}

void ReceivingSide::OnControlQuiet()
{
    const QByteArray text = std::exchange(m_control, {});
    if (m_peer && !text.isEmpty() && m_state.ControlPhase)
        HandleControl(*m_peer, text);
}

void ReceivingSide::HandleControl(TCustomWinSocket& Socket, const QByteArray& text)
{
    switch (text.front()) {
    case Protocol::OfferFileCode:
        OnOffer(Socket, text);
        break;
    case Protocol::AnnounceSizeCode:
        OnSizeAnnounced(Socket, text);
        break;
    default:
        break;
    }
}

void ReceivingSide::OnOffer(TCustomWinSocket& Socket, const QByteArray& text)
{
    // A sender waits for the answer; offers that arrive while the question is open are dropped.
    if (m_asking)
        return;
    const QScopedValueRollback asking(m_asking, true);

    // A new offer replaces one accepted before; its file waits for no size any more.
    m_awaitingSize = false;
    const Protocol::Offer offer = Protocol::ParseOffer(text);
    // Both texts only reach windows; a peer may send anything in them.
    const QString shownName = Protocol::ShownText(offer.FileName);
    m_state.SenderAddress = Protocol::ShownText(offer.SenderAddress);
    const QPointer<TCustomWinSocket> socket(&Socket);
    auto stillPeer = [&] { return socket && IsPeer(*socket) && socket->Connected(); };

    const bool save = m_view.AskQuery(QStringLiteral("File name: ") + shownName,
                                      QStringLiteral("From IP Address: ") + m_state.SenderAddress);
    // The sender may have gone while the question was open; then there is nobody to answer.
    if (!stillPeer())
        return;
    if (!save) {
        Socket.WriteText(Protocol::RefuseFile());
        m_view.SetStatus(StatusColour::Red, QStringLiteral("You refused this transfer..."));
        return;
    }
    const QString path = m_view.ChooseSavePath(SuggestedSaveName(offer.FileName));
    if (!stillPeer())
        return;
    if (path.isEmpty()) {
        Socket.WriteText(Protocol::RefuseFile());
        m_view.SetStatus(StatusColour::Red, QStringLiteral("You canceled this transfer..."));
        return;
    }

    m_state.FileName = shownName;
    m_state.CloseFile();
    // Buffered: one write to the disk per few blocks, not one per block. A full disk shows when the
    // buffer goes out, at the latest before the end is reported.
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(("Cannot create file " + path).toStdString());
    m_savePath = path;
    m_state.FileStream = std::move(file);
    m_awaitingSize = true;
    Socket.WriteText(Protocol::AcceptFile());
}

void ReceivingSide::OnSizeAnnounced(TCustomWinSocket& Socket, const QByteArray& text)
{
    // Without an accepted file a transfer would be counted, stored nowhere, and end "completed".
    if (!m_awaitingSize)
        return;
    const int32_t size = Protocol::ParseSize(text);
    // No sender offers an empty file; a size of zero or less would end in "completed" on any byte.
    if (size <= 0)
        throw std::runtime_error(Protocol::ToWire(QStringLiteral("'%1' is not a valid file size").arg(size)).toStdString());
    m_awaitingSize = false;
    m_state.FileSize = size;
    m_state.ControlPhase = false;
    m_state.Transferring = true;
    Socket.WriteText(Protocol::RequestBlock());
    m_view.OpenTransferWindow({m_state.SenderAddress, m_state.ReceiverAddress, m_state.FileName, m_state.FileSize});
}

void ReceivingSide::ReadData(TCustomWinSocket& Socket)
{
    // One buffer per request. A read that fills the buffer means more is likely waiting (the sender's
    // blocks are larger than this buffer, or have piled up): the next buffers are taken in the same
    // event, each still answered by its own request, instead of one trip through the loop for each.
    const auto capacity = static_cast<size_t>(std::max(1, m_settings.ReceiveBufferSize));
    if (m_buffer.size() != capacity)
        m_buffer.resize(capacity);
    for (int buffers = 0; buffers < BuffersPerReadEvent; ++buffers) {
        const int received = Socket.ReadBlock(m_buffer.data(), static_cast<int>(capacity));
        if (received <= 0)
            return;

        const int64_t done = int64_t{m_state.BytesDone} + received;
        m_state.BytesDone = static_cast<int32_t>(std::min<int64_t>(done, std::numeric_limits<int32_t>::max()));
        m_view.SetTransferProgress(m_state.BytesDone);

        if (m_state.FileStream && m_state.FileStream->write(m_buffer.data(), received) != received) {
            FailWrite(Socket, m_state.FileStream->errorString());
            return;
        }

        if (m_state.BytesDone < m_state.FileSize) {
            Socket.WriteText(Protocol::RequestBlock());
            // A failed send may have ended the transfer meanwhile.
            if (static_cast<size_t>(received) < capacity || !IsPeer(Socket) || m_state.ControlPhase)
                return;
            continue;
        }
        if (m_state.FileStream && !m_state.FileStream->flush()) {
            FailWrite(Socket, m_state.FileStream->errorString());
            return;
        }
        m_state.BytesDone = 0;
        m_state.ControlPhase = true;
        m_state.Transferring = false;
        m_state.CloseFile();
        Socket.WriteText(Protocol::TransferDone());
        m_view.FinishTransferWindow();
        m_view.ShowNotice(QStringLiteral("Prompt"), QStringLiteral("Transfer completed !"));
        return;
    }
}

void ReceivingSide::FailWrite(TCustomWinSocket& Socket, const QString& reason)
{
    // The file cannot be complete: end the transfer instead of reporting success.
    m_peer = nullptr;
    ResetTransfer();
    Socket.Close();
    m_view.FinishTransferWindow();
    m_view.SetStatus(StatusColour::Red, QStringLiteral("Could not save the file..."));
    m_view.ShowNotice(QStringLiteral("Error"), QStringLiteral("Cannot write file ") + m_savePath + QStringLiteral(" : ") + reason);
}

void ReceivingSide::ssClientDisconnect(TCustomWinSocket& Socket)
{
    if (!IsPeer(Socket))
        return;
    m_peer = nullptr;
    m_awaitingSize = false;
    m_control.clear();
    m_controlQuiet.stop();
    m_state.Connected = false;
    m_state.BytesDone = 0;
    m_state.ControlPhase = true;
    m_state.CloseFile();
    m_view.SetStatus(StatusColour::Red, QStringLiteral("Your friend disconnected..."));
    const QString notice = m_state.Transferring
        ? QStringLiteral("Trnsfer was terminated by ") + m_state.SenderAddress + QStringLiteral(" !")
        : QStringLiteral("Disconnect...!");
    m_state.Transferring = false;
    m_view.ShowNotice(QStringLiteral("Prompt"), notice);
}

void ReceivingSide::ssClientError(TCustomWinSocket& Socket, TErrorEvent ErrorEvent, int& ErrorCode)
{
    ErrorCode = 0;
    if (!IsPeer(Socket))
        return;
    m_peer = nullptr;
    ResetTransfer();

    QString notice;
    switch (ErrorEvent) {
    case TErrorEvent::ekGeneral:
        notice = QStringLiteral("Unknow error !");
        break;
    case TErrorEvent::ekSend:
        notice = QStringLiteral("Transfer error !");
        break;
    case TErrorEvent::ekReceive:
        notice = QStringLiteral("Receive error !");
        break;
    case TErrorEvent::ekConnect:
        notice = QStringLiteral("Repeat link error !");
        break;
    case TErrorEvent::ekDisconnect:
        notice = QStringLiteral("Connect was terminated !");
        break;
    default:
        break;
    }
    // A broken connection would otherwise hold its descriptor until Stop; it is no longer the peer,
    // so its disconnect event changes nothing.
    Socket.Close();
    m_view.ShowNotice(QStringLiteral("Error"), notice);
}

void ReceivingSide::ResetTransfer()
{
    m_awaitingSize = false;
    m_control.clear();
    m_controlQuiet.stop();
    m_state.Connected = false;
    m_state.Transferring = false;
    m_state.BytesDone = 0;
    m_state.ControlPhase = true;
    m_state.CloseFile();
}
