#pragma once
// A condition that ends the launcher with exit status 255 after "Fatal Error: " and the
// message have been printed to standard error. Thrown by the start-up steps and caught once,
// in main, so that every handle opened so far is released by its destructor on the way out.
#include <stdexcept>
#include <string>

namespace launcher {

class FatalError : public std::runtime_error {
public:
    explicit FatalError(const std::string& message) : std::runtime_error(message) {}
};

// Formats a message with one integer, as the launcher's printf-style texts need.
std::string FormatMessage(const char* format, int value);

} // namespace launcher
