#pragma once

#include <QString>

#include <string>

// The one place where errno becomes text.
namespace Posix {

// The platform's text for an error code, without trailing blanks, line breaks and full stops.
std::string ErrorText(int code);

// Throws ESocketError "Windows socket error: <text> (<code>), on API '<api>'".
[[noreturn]] void RaiseApiError(int code, const char* api);

// Would-block and interrupted calls are "not ready", never failures.
bool NotReady(int code);

// inet_addr's reading of a dotted text; a text it rejects gives 255.255.255.255 (network order).
quint32 AddressFromText(const QString& text);
QString AddressToText(quint32 networkOrder);

} // namespace Posix
