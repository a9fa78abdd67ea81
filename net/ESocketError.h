#pragma once

#include <stdexcept>
#include <string>

// The one exception class of the socket layer.
class ESocketError : public std::runtime_error {
public:
    explicit ESocketError(const std::string& message) : std::runtime_error(message) {}
};
