#pragma once

#include <QString>

// This host's name resolved to its first IPv4 address, dotted; "" when that fails.
// Computed afresh on every call.
QString LocalAddress();
