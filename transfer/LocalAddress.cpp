#include "LocalAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstring>

QString LocalAddress()
{
    // Names longer than a classic 40-byte buffer are common on Linux; take the full name.
    std::array<char, HOST_NAME_MAX + 1> name{};
    if (gethostname(name.data(), name.size() - 1) != 0)
        return {};

    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(name.data(), nullptr, &hints, &found) != 0 || found == nullptr)
        return {};

    QString dotted;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET)
            continue;
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&address->sin_addr.s_addr);
        dotted = QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
        break;
    }
    freeaddrinfo(found);
    return dotted;
}
