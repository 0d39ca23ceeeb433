// A host for unit tests of the plugin side: its function table records every call, answers
// requests through a replaceable responder, and delivers events and timers back to the plugin
// the way a host does, through the callbacks and user data the plugin gave.
#pragma once

#include "kiv/plugin_abi.h"
#include "value/value.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {

struct HostSubscription {
    std::string name;
    std::uintptr_t hostContext;
    PluginEventCallbackFn callback;
    void* userData;
    std::uint32_t kind;
};

struct HostTimer {
    std::string name;
    PluginTimerCallbackFn callback;
    void* userData;
    double delaySeconds;
    std::uint32_t reserved;
};

struct HostSentEvent {
    std::string name;
    Value payload;
    std::uint32_t reserved;
    void* userData;
};

struct HostLogLine {
    std::uint32_t level;
    std::string text;
};

class FakeHost {
  public:
    using Responder = std::function<void(HostResponse& response, const HostRequest& request)>;

    FakeHost();
    FakeHost(const FakeHost&) = delete;
    FakeHost& operator=(const FakeHost&) = delete;

    HostInterface* hostInterface() noexcept { return &interface_; }
    HostApi* api() noexcept { return &table_.api; }

    // Answers every request; by default with the error "Not found" and status 404.
    Responder responder;

    std::vector<HostSubscription> subscriptions; // subscribeEvent calls, in order
    std::vector<std::string> unsubscriptions;    // unsubscribeEvent names, in order
    std::vector<HostSentEvent> sentEvents;
    std::vector<HostTimer> timers;
    std::vector<std::string> requestedPaths;
    std::vector<HostLogLine> logLines;
    std::vector<std::string> waitLabels;
    int yields = 0;
    int endWaits = 0;

    // Delivers `payload` (converted to a flat record) as the event `name` to every current
    // subscriber of that name, with the user data each gave. Returns how many received it.
    int deliver(std::string_view name, const Value& payload);
    // The names of current subscriptions (subscribed and not unsubscribed since).
    std::vector<std::string> subscribedNames() const;
    // Fires the timer as the host does: its callback with its user data.
    static void fire(const HostTimer& timer) { timer.callback(timer.userData); }

  private:
    struct Table {
        HostApi api; // first: the plugin hands back the table's address
        FakeHost* owner;
    };
    static FakeHost& of(HostApi* api) noexcept { return *reinterpret_cast<Table*>(api)->owner; }

    Table table_;
    HostInterface interface_;
};

// Response helpers for responders: each fills the record and sets its release routine.
void answerValue(HostResponse& response, const Value& value);
void answerError(HostResponse& response, std::string_view text, std::uint32_t status);

// A streamed body: the chunks are returned one per read with the more-data flag of each; a read
// past the last chunk fails. Counts its reads and releases.
struct StreamScript {
    struct Chunk {
        std::string bytes;
        bool more;
        bool ok = true;
        // Reported as the length when set, whatever the bytes are (a host that lies).
        std::uint32_t reportedLength = 0;
    };
    std::vector<Chunk> chunks;
    // Repeats the last chunk for ever instead of failing past the end.
    bool repeatLast = false;
    std::uint64_t announcedLength = 0;
    std::size_t reads = 0;
    int releases = 0;
};
void answerStream(HostResponse& response, StreamScript& script);

} // namespace kiv::test
