#include "Posix.h"

#include "ESocketError.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>

namespace Posix {

std::string ErrorText(int code)
{
    std::string text = std::strerror(code);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\n' || text.back() == '\r' || text.back() == '.'))
        text.pop_back();
    return text;
}

void RaiseApiError(int code, const char* api)
{
    throw ESocketError("Windows socket error: " + ErrorText(code) + " (" + std::to_string(code) + "), on API '" + api + "'");
}

bool NotReady(int code)
{
    return code == EAGAIN || code == EWOULDBLOCK || code == EINTR;
}

quint32 AddressFromText(const QString& text)
{
    // A rejected text and the real all-ones address come out the same, as with the classic call.
    return ::inet_addr(text.toLatin1().constData());
}

QString AddressToText(quint32 networkOrder)
{
    in_addr address{};
    address.s_addr = networkOrder;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return QString::fromLatin1(text);
}

} // namespace Posix
