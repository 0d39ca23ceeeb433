// The one exception of the development host's library: a plugin that cannot be loaded or driven,
// with a message for the person running the host.
#pragma once

#include <stdexcept>
#include <string>

namespace kiv::kivhost {

class HostError : public std::runtime_error {
  public:
    explicit HostError(const std::string& message) : std::runtime_error(message) {}
};

} // namespace kiv::kivhost
