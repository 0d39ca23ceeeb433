#include "host_script.h"

namespace kiv::fuzzing {
namespace {

constexpr std::size_t kShortText = 255;
constexpr std::size_t kLongText = 8192;

// One layout of each description's bytes serves both directions: Reading fills one from the
// input, Writing appends the bytes that read back as it.
struct Reading {
    FuzzInput& input;

    template <class Integer> void field(Integer& value) { value = input.integer<Integer>(); }
    void text(std::string& text, std::size_t limit) { text = input.text(limit); }
    template <class Enum> void choice(Enum& value, std::uint8_t count) {
        value = static_cast<Enum>(input.pick(count));
    }
    void optionalText(std::optional<std::string>& text, std::size_t limit) {
        if (input.flag()) {
            text = input.text(limit);
        } else {
            text.reset();
        }
    }
    template <class Element, class Each>
    void list(std::vector<Element>& elements, std::size_t most, Each each) {
        elements.resize(input.pick(most + 1));
        for (Element& element : elements) {
            each(*this, element);
        }
    }
};

struct Writing {
    FuzzScript& script;

    template <class Integer> void field(Integer& value) { script.integer(value); }
    void text(std::string& text, std::size_t limit) { script.text(text, limit); }
    template <class Enum> void choice(Enum& value, std::uint8_t) {
        script.byte(static_cast<std::uint8_t>(value));
    }
    void optionalText(std::optional<std::string>& text, std::size_t limit) {
        script.byte(text ? 1 : 0);
        if (text) {
            script.text(*text, limit);
        }
    }
    template <class Element, class Each>
    void list(std::vector<Element>& elements, std::size_t most, Each each) {
        const std::size_t count = std::min(elements.size(), most);
        script.byte(static_cast<std::uint8_t>(count));
        for (std::size_t i = 0; i < count; ++i) {
            each(*this, elements[i]);
        }
    }
};

template <class Stream> void transfer(Stream& stream, GraphNode& node) {
    stream.field(node.kind);
    stream.field(node.ref);
    stream.field(node.a);
    stream.field(node.b);
}

template <class Stream> void transfer(Stream& stream, GraphPlan& graph) {
    stream.text(graph.texts, 1024);
    stream.list(graph.nodes, 48, [](auto& s, GraphNode& node) { transfer(s, node); });
    stream.list(graph.members, 32, [](auto& s, GraphMember& member) {
        s.field(member.key);
        transfer(s, member.value);
        s.field(member.keyOwned);
    });
    stream.field(graph.chainLevels);
}

template <class Stream> void transfer(Stream& stream, PayloadPlan& payload) {
    stream.choice(payload.kind, 3);
    switch (payload.kind) {
    case PayloadKind::Json:
        stream.text(payload.json, kLongText);
        break;
    case PayloadKind::ResourceEvent:
        stream.text(payload.uri, kShortText);
        stream.text(payload.eventType, kShortText);
        stream.text(payload.json, kLongText);
        break;
    case PayloadKind::Graph:
        transfer(stream, payload.graph);
        break;
    }
}

template <class Stream> void transfer(Stream& stream, AnswerPlan& answer) {
    stream.text(answer.path, kShortText);
    stream.choice(answer.kind, 5);
    stream.field(answer.status);
    stream.field(answer.slow);
    switch (answer.kind) {
    case AnswerKind::Value:
        stream.text(answer.json, kLongText);
        break;
    case AnswerKind::Streamed:
        stream.field(answer.chunkBytes);
        stream.text(answer.json, kLongText);
        break;
    case AnswerKind::Error:
        stream.text(answer.error, kLongText);
        break;
    case AnswerKind::Graph:
        transfer(stream, answer.graph);
        break;
    case AnswerKind::Bare:
        break;
    }
}

template <class Stream> void transfer(Stream& stream, RequestPlan& request) {
    stream.field(request.function);
    stream.field(request.method);
    stream.optionalText(request.customMethod, kShortText);
    stream.optionalText(request.path, kLongText);
    stream.list(request.headers, 4, [](auto& s, HeaderPlan& header) {
        s.optionalText(header.name, kShortText);
        s.optionalText(header.value, kShortText);
    });
    stream.optionalText(request.contentType, kShortText);
    stream.optionalText(request.body, kLongText);
    stream.list(request.arguments, 3, [](auto& s, ArgumentPlan& argument) {
        s.optionalText(argument.name, kShortText);
        transfer(s, argument.value);
    });
}

template <class Stream> void transfer(Stream& stream, EventPlan& event) {
    stream.text(event.path, kShortText);
    stream.field(event.subscription);
    stream.choice(event.name, 3);
    if (event.name == EventName::Odd) {
        stream.text(event.oddName, kShortText);
    }
    stream.choice(event.userData, 3);
    stream.field(event.reserved);
    transfer(stream, event.payload);
}

template <class Stream> void transfer(Stream& stream, StartPlan& start) {
    stream.field(start.load.minor);
    stream.field(start.load.patch);
    stream.field(start.load.garbage);
    stream.field(start.load.initialize);
    stream.list(start.answers, 4, [](auto& s, AnswerPlan& answer) { transfer(s, answer); });
}

template <class Plan> Plan readPlan(FuzzInput& input) {
    Plan plan;
    Reading reading{input};
    transfer(reading, plan);
    return plan;
}

template <class Plan> void writePlan(FuzzScript& script, Plan plan) {
    Writing writing{script};
    transfer(writing, plan);
}

} // namespace

AnswerPlan readAnswer(FuzzInput& input) {
    return readPlan<AnswerPlan>(input);
}
RequestPlan readRequest(FuzzInput& input) {
    return readPlan<RequestPlan>(input);
}
EventPlan readEvent(FuzzInput& input) {
    return readPlan<EventPlan>(input);
}
StartPlan readStart(FuzzInput& input) {
    return readPlan<StartPlan>(input);
}

void writeAnswer(FuzzScript& script, const AnswerPlan& answer) {
    writePlan(script, answer);
}
void writeRequest(FuzzScript& script, const RequestPlan& request) {
    writePlan(script, request);
}
void writeEvent(FuzzScript& script, const EventPlan& event) {
    writePlan(script, event);
}
void writeStart(FuzzScript& script, const StartPlan& start) {
    writePlan(script, start);
}

} // namespace kiv::fuzzing
