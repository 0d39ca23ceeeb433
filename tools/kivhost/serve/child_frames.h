// The frames `kivhost serve` and the child process that runs its plugin exchange over two pipes:
// a type byte, a 32-bit length and the payload. The server sends requests; the child sends its
// start, answers, and the entries and restarts of its feed as they happen.
#pragma once

#include "kivhost/serve/event_feed.h"
#include "kivhost/serve/serve_routes.h"

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace kiv::kivhost {

enum class FrameType : char {
    Request = 'R', // server to child: a ServeRequest
    Started = 'S', // child to server: "1" initialised, "0" not, or "!" and why it could not load
    Answer = 'A',  // a ServeAnswer and the world's clock after it
    Entry = 'E',   // a FeedEntry
    Restart = 'I', // the feed's new instance id
};

// Writes whole frames from any thread, one at a time.
class FrameWriter {
  public:
    explicit FrameWriter(int descriptor) : descriptor_(descriptor) {}
    // False once the other end is gone.
    bool write(FrameType type, std::string_view payload);

  private:
    const int descriptor_;
    std::mutex mutex_;
};

// The next frame; false at the end of the pipe or on a broken frame.
bool readFrame(int descriptor, FrameType& type, std::string& payload);

std::string encodeRequest(const ServeRequest& request);
std::optional<ServeRequest> decodeRequest(std::string_view payload);
std::string encodeAnswer(const ServeAnswer& answer, std::int64_t nowMs);
std::optional<ServeAnswer> decodeAnswer(std::string_view payload, std::int64_t& nowMs);
std::string encodeEntry(const FeedEntry& entry);
std::optional<FeedEntry> decodeEntry(std::string_view payload);

} // namespace kiv::kivhost
