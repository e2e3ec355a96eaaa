#pragma once
// The one error type the platform wrappers raise. Engine code lets it travel up to the wizard's
// top-level error report; calls whose failure is meant to be silent return bool instead.
#include <stdexcept>
#include <string>

namespace platform {

class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// "Failed to create key %s" style messages: one %s replaced by the argument.
std::string Format(const char* pattern, const std::string& argument);

} // namespace platform
