// A development host with the real shutdown-law library loaded on the virtual clock, and short
// readings of what the library did.
#pragma once

#include "kivhost/core/json_text.h"
#include "kivhost/core/plugin_host.h"
#include "value/json_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::test {

inline constexpr const char* kLoginPath = "/kiv-login/v1/login-data-packet";
inline constexpr const char* kTimetablePath =
    "/kiv-platform-config/v1/namespaces/KrShutdownQueueDisableTimeTable";
inline constexpr const char* kQueuesPath = "/kiv-game-queues/v1/queues";

inline Value json(std::string_view text) {
    ConversionResult parsed = parseJson(text);
    EXPECT_TRUE(parsed.ok()) << text;
    return std::move(parsed.value());
}

// One timer as the plugin asked for it: its name and delay in whole seconds.
struct ScheduledJob {
    std::string name;
    std::int64_t seconds = 0;
    friend bool operator==(const ScheduledJob&, const ScheduledJob&) = default;
};

inline void PrintTo(const ScheduledJob& job, std::ostream* os) {
    *os << job.name << " after " << job.seconds << " s";
}

// One event as the plugin sent it: the name and the payload as JSON text.
struct SentEvent {
    std::string name;
    std::string payload;
    friend bool operator==(const SentEvent&, const SentEvent&) = default;
};

inline void PrintTo(const SentEvent& event, std::ostream* os) {
    *os << event.name << " " << event.payload;
}

class ShutdownLawHost {
  public:
    ShutdownLawHost() = default;

    // Another plugin's resource as it is before the plugin starts.
    void put(const std::string& path, std::string_view jsonText) { host.putResource(path, json(jsonText)); }

    void start() {
        plugin = host.load(KIV_SHUTDOWN_LAW_LIBRARY);
        ASSERT_TRUE(host.initialize(plugin));
    }

    void change(kivhost::ResourceChangeKind change, const std::string& path,
                std::string_view jsonText = "null") {
        host.changeResource(change, path, json(jsonText));
    }

    // The plugin's answer to a GET, as JSON text ("error <status> <text>" for a failure).
    std::string get(const std::string& path) {
        const kivhost::Response response = host.request(KIV_HTTP_METHOD_GET, path);
        if (response.error) {
            return "error " + std::to_string(response.status) + " " + *response.error;
        }
        return kivhost::toJson(response.value);
    }

    template <class Detail> std::vector<Detail> seen() const {
        std::vector<Detail> found;
        for (const kivhost::Happening& happening : host.happenings()) {
            if (const Detail* detail = std::get_if<Detail>(&happening.detail)) {
                found.push_back(*detail);
            }
        }
        return found;
    }

    std::vector<ScheduledJob> jobs() const {
        std::vector<ScheduledJob> found;
        for (const kivhost::TimerScheduled& timer : seen<kivhost::TimerScheduled>()) {
            found.push_back({timer.name, static_cast<std::int64_t>(std::llround(timer.delayMs / 1000.0))});
        }
        return found;
    }

    // Events sent under their paths' names (each is also sent under "OnJsonApiEvent").
    std::vector<SentEvent> events() const {
        std::vector<SentEvent> found;
        for (const kivhost::EventSent& event : seen<kivhost::EventSent>()) {
            if (event.name != "OnJsonApiEvent") {
                found.push_back({event.name, kivhost::toJson(event.payload)});
            }
        }
        return found;
    }

    std::vector<std::string> logs() const {
        std::vector<std::string> found;
        for (const kivhost::LogWritten& log : seen<kivhost::LogWritten>()) {
            found.push_back(std::to_string(log.level) + " " + log.text);
        }
        return found;
    }

    // Requests the plugin sent, as "GET <path> <status>".
    std::vector<std::string> requests() const {
        std::vector<std::string> found;
        for (const kivhost::RequestSent& request : seen<kivhost::RequestSent>()) {
            found.push_back(request.method + " " + request.path + " " + std::to_string(request.status));
        }
        return found;
    }

    void runForMinutes(double minutes) { host.runUntil(host.nowMs() + std::llround(minutes * 60000.0)); }

    // Runs every pending timer, also those scheduled meanwhile.
    void runAll() {
        while (const std::optional<std::int64_t> due = host.nextDueMs()) {
            host.runUntil(*due);
        }
    }

    kivhost::PluginHost host;
    kivhost::PluginId plugin = 0;
};

} // namespace kiv::test
