// Headless Chromium driven over the DevTools protocol on a pipe (--remote-debugging-pipe): the
// browser reads commands on its descriptor 3 and writes answers and events on 4, each message
// JSON ended by a NUL byte. No WebSocket is needed.
#pragma once

#include "value/value.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kiv::test {

class DevToolsPipe {
  public:
    DevToolsPipe();
    // Closes the browser and waits for it.
    ~DevToolsPipe();
    DevToolsPipe(const DevToolsPipe&) = delete;
    DevToolsPipe& operator=(const DevToolsPipe&) = delete;

    bool started() const noexcept { return pid_ > 0; }
    // Opens a page at the address and attaches to it; later calls go to that page.
    bool open(const std::string& address);
    // The value of a JavaScript expression in the page, as JSON text ("" when it failed).
    std::string evaluate(const std::string& expression);
    // Evaluates the expression until it gives `expected` (a JSON text); false after two minutes.
    bool waitFor(const std::string& expression, const std::string& expected);
    // Lays the page out as in a window of this size.
    bool resize(int width, int height);
    // The page as a PNG.
    std::vector<std::uint8_t> screenshot();

  private:
    // Sends a command (params: a JSON object text) and returns its answer's `result`.
    Value call(const std::string& method, const std::string& params, bool toPage = true);

    int pid_ = -1;
    int commands_ = -1;
    int answers_ = -1;
    int nextId_ = 1;
    std::string sessionId_;
    std::string pending_;
    std::filesystem::path profile_;
};

} // namespace kiv::test
