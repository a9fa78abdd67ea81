#pragma once

#include <QtGlobal>

#include <arpa/inet.h>
#include <netinet/in.h>

// 127.0.0.1 on the given port: the only address test traffic goes to.
inline sockaddr_in Loopback(quint16 port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}
