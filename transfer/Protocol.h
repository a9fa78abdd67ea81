#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>

// The control messages exchanged by two peers. A message is its one-character code and an optional
// payload, with no framing; file bytes travel raw in between.
namespace Protocol {

inline constexpr char OfferFileCode = '1';
inline constexpr char RefuseFileCode = '2';
inline constexpr char AcceptFileCode = '3';
inline constexpr char RequestBlockCode = '4';
inline constexpr char TransferDoneCode = '6';
inline constexpr char AnnounceSizeCode = '7';

QByteArray OfferFile(const QString& fileName, const QString& senderAddress);
QByteArray RefuseFile();
QByteArray AcceptFile();
QByteArray AnnounceSize(int32_t size);
QByteArray RequestBlock();
QByteArray TransferDone();

struct Offer {
    QString FileName;
    QString SenderAddress;
};

// Splits at the first "#": the name is everything between the code and it, the address everything
// after it. Without a "#" the name is empty and the address is the whole text, code included.
Offer ParseOffer(const QByteArray& message);

// The payload after the code as a signed 32-bit decimal number; anything else throws
// std::runtime_error "'<payload>' is not a valid integer value" (the payload as ShownText shows it).
int32_t ParseSize(const QByteArray& message);

// Peer text as a window may show it: control and format characters, which could fake line breaks or
// reverse a name's ending, become "?", and text past maxChars is cut and ends in "...". No real file
// name or address is touched.
QString ShownText(const QString& text, qsizetype maxChars = 255);

// Wire text <-> program text. The wire carries the local 8-bit encoding.
QString FromWire(const QByteArray& bytes);
QByteArray ToWire(const QString& text);

} // namespace Protocol
