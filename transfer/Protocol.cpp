#include "Protocol.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace Protocol {

namespace {
QByteArray Code(char code)
{
    return QByteArray(1, code);
}
} // namespace

QByteArray OfferFile(const QString& fileName, const QString& senderAddress)
{
    return Code(OfferFileCode) + ToWire(fileName) + '#' + ToWire(senderAddress);
}

QByteArray RefuseFile() { return Code(RefuseFileCode); }
QByteArray AcceptFile() { return Code(AcceptFileCode); }
QByteArray RequestBlock()
{
    // Sent for every block: one shared copy, so that a request costs no allocation.
    static const QByteArray message = Code(RequestBlockCode);
    return message;
}
QByteArray TransferDone() { return Code(TransferDoneCode); }

QByteArray AnnounceSize(int32_t size)
{
    return Code(AnnounceSizeCode) + QByteArray::number(size);
}

Offer ParseOffer(const QByteArray& message)
{
    const qsizetype hash = message.indexOf('#');
    if (hash < 0)
        return {QString(), FromWire(message)};
    // A "#" in the code's place leaves no name; mid() would read a negative length as "to the end".
    return {FromWire(message.mid(1, std::max<qsizetype>(0, hash - 1))), FromWire(message.mid(hash + 1))};
}

int32_t ParseSize(const QByteArray& message)
{
    const QByteArray payload = message.mid(1);
    auto invalid = [&payload] {
        // A hostile payload can be 64 KiB of anything; the error box shows a readable start of it.
        const QString text = QLatin1Char('\'') + ShownText(FromWire(payload), 64) + QLatin1String("' is not a valid integer value");
        return std::runtime_error(ToWire(text).toStdString());
    };

    qsizetype at = 0;
    bool negative = false;
    if (at < payload.size() && (payload[at] == '-' || payload[at] == '+')) {
        negative = payload[at] == '-';
        ++at;
    }
    if (at == payload.size())
        throw invalid();

    // Accumulate as a negative number so that the minimum fits.
    constexpr int64_t lowest = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; at < payload.size(); ++at) {
        const char c = payload[at];
        if (c < '0' || c > '9')
            throw invalid();
        value = value * 10 - (c - '0');
        if (value < lowest)
            throw invalid();
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<int32_t>::max())
            throw invalid();
    }
    return static_cast<int32_t>(value);
}

QString ShownText(const QString& text, qsizetype maxChars)
{
    QString shown = text.left(maxChars);
    if (text.size() > maxChars && shown.size() > 0 && shown.back().isHighSurrogate())
        shown.chop(1);
    for (QChar& c : shown) {
        const QChar::Category category = c.category();
        if (category == QChar::Other_Control || category == QChar::Other_Format)
            c = QLatin1Char('?');
    }
    if (text.size() > maxChars)
        shown += QLatin1String("...");
    return shown;
}

QString FromWire(const QByteArray& bytes)
{
    return QString::fromLocal8Bit(bytes);
}

QByteArray ToWire(const QString& text)
{
    return text.toLocal8Bit();
}

} // namespace Protocol
