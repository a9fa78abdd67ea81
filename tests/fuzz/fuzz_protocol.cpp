// Fuzzes the message parsing: offers, sizes and the text shown to the user. Properties, not just
// crashes: a parsed size is announced back unchanged, an offer rebuilt from its parts parses to the
// same parts, and shown text never carries control characters or runs long.
#include "Protocol.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>

using namespace Protocol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray message(reinterpret_cast<const char*>(data), qsizetype(size));

    try {
        const int32_t value = ParseSize(message);
        if (ParseSize(AnnounceSize(value)) != value)
            std::abort();
    } catch (const std::runtime_error&) {
        // A payload that is no number; the message is what the error box shows.
    }

    const Offer offer = ParseOffer(message);
    if (message.contains('#')) {
        const Offer again = ParseOffer(OfferFile(offer.FileName, offer.SenderAddress));
        if (again.FileName != offer.FileName || again.SenderAddress != offer.SenderAddress)
            std::abort();
    }

    const qsizetype limit = size > 0 ? data[0] : 255;
    for (const QString& text : {offer.FileName, offer.SenderAddress, FromWire(message)}) {
        const QString shown = ShownText(text, limit);
        if (shown.size() > limit + 3)
            std::abort();
        for (const QChar c : shown) {
            if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
                std::abort();
        }
    }
    return 0;
}
