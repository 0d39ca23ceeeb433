// A scenario: the world a plugin starts in (other plugins' resources, the core version) and the
// steps played against it on the host's clock, read from a YAML or JSON file.
#pragma once

#include "kivhost/core/host_options.h"
#include "value/value.h"

#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv::kivhost {

// How long a scenario without `until` plays at most: one day.
inline constexpr std::int64_t kDefaultPlayMinutes = 1440;
// Times beyond this many minutes (about 1900 years) are refused: they are mistakes, and every
// time in milliseconds stays far inside 64 bits.
inline constexpr std::int64_t kMaxScenarioMinutes = 1000000000;

// The most a scenario file (or standard input) may hold: room for a queue list of ten million
// queues, while a device such as /dev/urandom given by mistake is refused without reading on for
// gigabytes.
inline constexpr std::size_t kMaxScenarioBytes = 256u << 20;

enum class StepAction { Get, Update, Create, Delete };

struct ScenarioStep {
    std::size_t number = 0; // from 1, as messages name it
    std::int64_t atMs = 0;
    StepAction action = StepAction::Get;
    std::string path;
    Value value; // the new value of update and create
};

// What a step with `expect` says the plugin does, checked by `kivhost test` against what the
// plugin answers, publishes and logs; `run` plays past it.
enum class ExpectationKind {
    Answer, // a GET's status and value, asked at `at` and at every moment through `through`
    Event,  // an event published from `at` through `through`
    Log,    // a log line written from `at` through `through`
};

struct Expectation {
    std::size_t number = 0;      // the step's, from 1
    std::size_t line = 0;        // the step's line in the file, from 1
    std::size_t stepsBefore = 0; // the actions that come before it in the file, played first
    std::int64_t atMs = 0;
    std::int64_t throughMs = 0; // atMs for one moment
    ExpectationKind kind = ExpectationKind::Answer;
    std::string subject;                 // the path asked, the event's name, or the text a log line holds
    std::string label;                   // what failures call it: "law", "GET /path", "event Name"
    std::optional<std::uint32_t> status; // Answer
    std::optional<Value> value;          // Answer: the whole value; Event: members the payload has
    std::optional<std::string> error;    // Answer: the error text the answer carries
    std::optional<std::uint32_t> level;  // Log
    std::optional<std::uint64_t> times;  // Event, Log: exactly this often; else at least once
};

struct Scenario {
    std::string source; // the file as given, named in messages
    std::optional<CoreVersion> core;
    std::optional<std::int64_t> untilMs;
    std::vector<std::pair<std::string, Value>> resources;
    std::vector<ScenarioStep> steps; // the actions
    std::vector<Expectation> expectations;
};

// A scenario that cannot be played; the message names the file, the step and what is wrong.
class ScenarioError : public std::runtime_error {
  public:
    explicit ScenarioError(const std::string& message) : std::runtime_error(message) {}
};

enum class ScenarioFormat { Yaml, Json };

// Reads a file: JSON when its name ends in .json, YAML otherwise. `untilMs` (a command line's
// choice) ends play instead of the file's own `until`; a step after the end of play is refused
// either way.
Scenario readScenarioFile(const std::filesystem::path& file, std::optional<std::int64_t> untilMs = {});
// Whether the file's name marks a scenario: .yaml, .yml or .json in any case.
bool isScenarioFileName(const std::filesystem::path& file);

// Reads a stream (standard input) to its end as the file `source`, at most `maxBytes`.
Scenario readScenarioStream(std::istream& in, ScenarioFormat format, const std::string& source,
                            std::optional<std::int64_t> untilMs = {},
                            std::size_t maxBytes = kMaxScenarioBytes);
Scenario readScenarioText(std::string_view text, ScenarioFormat format, const std::string& source,
                          std::optional<std::int64_t> untilMs = {});

} // namespace kiv::kivhost
