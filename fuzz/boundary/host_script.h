// What a fuzz input asks the host to build: the flat values, events, requests, answers and the
// load record, read from the input's bytes before anything runs. Every such description can be written back
// as the bytes that read as it, so that the corpus starts from real records.
#pragma once

#include "fuzz_input.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kiv::fuzzing {

// A flat value graph inside one buffer (built by HostileFlat). Each node's choices are raw: the
// kind may be any number; `ref` picks a text offset, a node or a member (0xFFFF: a null
// pointer); `a` is a string's length word, an array's count or a scalar's low word, `b` a
// scalar's high word.
struct GraphNode {
    std::uint8_t kind = 0;
    std::uint16_t ref = 0;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
};

struct GraphMember {
    std::uint16_t key = 0; // an offset into the texts; 0xFFFF: no key
    GraphNode value;
    std::uint8_t keyOwned = 0;
};

struct GraphPlan {
    std::string texts;
    std::vector<GraphNode> nodes; // the first is the root
    std::vector<GraphMember> members;
    std::uint16_t chainLevels = 0; // collections of one element stacked on top of the root
};

inline constexpr std::uint16_t kNullRef = 0xFFFF;

enum class PayloadKind : std::uint8_t { Json, ResourceEvent, Graph };

// A flat value the host hands over: the JSON text's value (empty when it does not parse), a
// resource event {uri, eventType, data} around such a value, or a hostile graph.
struct PayloadPlan {
    PayloadKind kind = PayloadKind::Json;
    std::string json;
    std::string uri;
    std::string eventType;
    GraphPlan graph;
};

enum class AnswerKind : std::uint8_t { Value, Streamed, Error, Graph, Bare };

// How the host answers the plugin's requests for a path ("" answers every other path).
struct AnswerPlan {
    std::string path;
    AnswerKind kind = AnswerKind::Value;
    std::string json;            // Value and Streamed
    std::uint8_t chunkBytes = 1; // Streamed: at most this many bytes a read
    std::uint16_t status = 200;  // also the raw status of a bare record
    std::string error;           // Error
    GraphPlan graph;             // Graph
    std::uint8_t slow = 0;       // above 0: the host takes its time before it answers
};

struct HeaderPlan {
    std::optional<std::string> name;
    std::optional<std::string> value;
};

struct ArgumentPlan {
    std::optional<std::string> name;
    PayloadPlan value;
};

// A request to one function record's dispatch entry; the method code is raw.
struct RequestPlan {
    std::uint8_t function = 0;
    std::uint8_t method = 0;
    std::optional<std::string> customMethod;
    std::optional<std::string> path;
    std::vector<HeaderPlan> headers;
    std::optional<std::string> contentType;
    std::optional<std::string> body;
    std::vector<ArgumentPlan> arguments;
};

enum class EventName : std::uint8_t { Subscribed, Null, Odd };
enum class EventUserData : std::uint8_t { Registered, Null, Foreign };

// An event delivered on a subscription's callback: the one whose event name is the path's, or
// else the one `subscription` picks.
struct EventPlan {
    std::string path;
    std::uint8_t subscription = 0;
    EventName name = EventName::Subscribed;
    std::string oddName;
    EventUserData userData = EventUserData::Registered;
    std::uint32_t reserved = 0;
    PayloadPlan payload;
};

// The core version the host announces (major 18, or the plugin ends the process), whether the
// words the plugin fills come in holding garbage, and whether the host initialises the plugin
// (one `initialize` value in four leaves it loaded but never initialised).
struct LoadPlan {
    std::uint32_t minor = 0;
    std::uint32_t patch = 0;
    std::uint32_t garbage = 0;
    std::uint8_t initialize = 1;

    bool initialized() const noexcept { return initialize % 4 != 0; }
};

// How a run begins: the load record, and the answers the host holds before the plugin asks (at
// most four).
struct StartPlan {
    LoadPlan load;
    std::vector<AnswerPlan> answers;
};

AnswerPlan readAnswer(FuzzInput& input);
RequestPlan readRequest(FuzzInput& input);
EventPlan readEvent(FuzzInput& input);
StartPlan readStart(FuzzInput& input);

void writeAnswer(FuzzScript& script, const AnswerPlan& answer);
void writeRequest(FuzzScript& script, const RequestPlan& request);
void writeEvent(FuzzScript& script, const EventPlan& event);
void writeStart(FuzzScript& script, const StartPlan& start);

} // namespace kiv::fuzzing
