#include "kivhost/scenario/scenario_text_scan.h"

#include "value/yaml_tree_builder.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <yaml.h>

#include <map>
#include <new>

namespace kiv::kivhost {
namespace {

// A place in the text, from 1.
struct TextPosition {
    std::size_t line = 1;
    std::size_t column = 1;
};

// Where the byte at `offset` lies; columns count characters, as editors do, not the bytes of
// UTF-8 sequences.
TextPosition positionAt(std::string_view text, std::size_t offset) {
    TextPosition position;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n') {
            ++position.line;
            position.column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++position.column;
        }
    }
    return position;
}

std::string placed(TextPosition position, const std::string& what) {
    return "line " + std::to_string(position.line) + ", column " + std::to_string(position.column) + ": " +
           what;
}

enum class NodeKind { Mapping, List, Scalar };

// Follows the nesting of the document as its readers report it: the keys of each open mapping
// (in a mapping, keys and values alternate), and the elements of the top-level `steps` list. A
// JSON text may nest millions deep within a scenario's size: an open list costs a few bytes.
class Outline {
  public:
    // A node begins on `line`: a scalar, or a collection that stays open until close(). For a
    // scalar in a key's place, `text` is the key. False when it repeats a key of its mapping;
    // repetition() then says which.
    bool node(NodeKind kind, std::string_view text, std::size_t line) {
        bool isKey = false;
        if (!open_.empty() && open_.back().mapping) {
            isKey = open_.back().keyNext;
            open_.back().keyNext = !isKey;
        }
        if (isKey && kind == NodeKind::Scalar && !noteKey(std::string(text), line)) {
            return false;
        }
        if (!open_.empty() && open_.back().steps) {
            stepLines_.push_back(line);
        }
        if (kind != NodeKind::Scalar) {
            const bool steps = open_.size() == 1 && open_.back().mapping &&
                               mappings_.back().lastKey == "steps" && kind == NodeKind::List;
            open_.push_back({kind == NodeKind::Mapping, true, steps});
            if (kind == NodeKind::Mapping) {
                mappings_.emplace_back();
            }
        }
        return true;
    }
    void close() {
        if (!open_.empty() && open_.back().mapping) {
            mappings_.pop_back();
        }
        if (!open_.empty()) {
            open_.pop_back();
        }
    }
    const std::string& repetition() const { return repetition_; }
    ScenarioTextScan result(std::optional<std::string> problem) {
        return {std::move(problem), std::move(stepLines_)};
    }

  private:
    struct Open {
        bool mapping;
        bool keyNext;
        bool steps;
    };
    struct MappingKeys {
        std::string lastKey;
        std::map<std::string, std::size_t> keyLines;
    };

    bool noteKey(std::string key, std::size_t line) {
        MappingKeys& mapping = mappings_.back();
        const auto [first, added] = mapping.keyLines.emplace(key, line);
        if (!added) {
            repetition_ = "'" + key + "' is repeated (first on line " + std::to_string(first->second) + ")";
        }
        mapping.lastKey = std::move(key);
        return added;
    }

    std::vector<Open> open_;
    std::vector<MappingKeys> mappings_; // of the open mappings, innermost last
    std::vector<std::size_t> stepLines_;
    std::string repetition_;
};

// RapidJSON's memory stream, counting lines as it goes.
class LineCountingStream {
  public:
    using Ch = char;
    explicit LineCountingStream(std::string_view text) : inner_(text.data(), text.size()) {}
    Ch Peek() const { return inner_.Peek(); }
    Ch Take() {
        const Ch c = inner_.Take();
        line_ += c == '\n' ? 1 : 0;
        return c;
    }
    std::size_t Tell() const { return inner_.Tell(); }
    std::size_t line() const { return line_; }
    // Only reading is done; these complete the stream concept.
    Ch* PutBegin() { return nullptr; }
    void Put(Ch) {}
    void Flush() {}
    std::size_t PutEnd(Ch*) { return 0; }

  private:
    rapidjson::MemoryStream inner_;
    std::size_t line_ = 1;
};

// The offset of the quote that opens the string whose closing quote lies just before `end`.
std::size_t openingQuote(std::string_view text, std::size_t end) {
    for (std::size_t i = end - 1; i-- > 0;) {
        if (text[i] != '"') {
            continue;
        }
        std::size_t backslashes = 0;
        while (backslashes < i && text[i - 1 - backslashes] == '\\') {
            ++backslashes;
        }
        if (backslashes % 2 == 0) {
            return i;
        }
    }
    return 0;
}

struct JsonOutline : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, JsonOutline> {
    JsonOutline(Outline& outline, const LineCountingStream& stream, std::string_view text)
        : outline(outline), stream(stream), text(text) {}
    bool Default() { return outline.node(NodeKind::Scalar, {}, stream.line()); }
    bool String(const char*, rapidjson::SizeType, bool) { return Default(); }
    bool StartObject() { return outline.node(NodeKind::Mapping, {}, stream.line()); }
    bool StartArray() { return outline.node(NodeKind::List, {}, stream.line()); }
    bool EndObject(rapidjson::SizeType) {
        outline.close();
        return true;
    }
    bool EndArray(rapidjson::SizeType) { return EndObject(0); }
    bool Key(const char* key, rapidjson::SizeType length, bool) {
        if (outline.node(NodeKind::Scalar, {key, length}, stream.line())) {
            return true;
        }
        problem = placed(positionAt(text, openingQuote(text, stream.Tell())), outline.repetition());
        return false;
    }
    Outline& outline;
    const LineCountingStream& stream;
    std::string_view text;
    std::optional<std::string> problem;
};

ScenarioTextScan scanJson(std::string_view text) {
    Outline outline;
    LineCountingStream stream(text);
    JsonOutline handler(outline, stream, text);
    rapidjson::Reader reader;
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    const rapidjson::ParseResult parsed = reader.Parse<kFlags>(stream, handler);
    if (handler.problem || !parsed.IsError() || parsed.Code() == rapidjson::kParseErrorDocumentEmpty) {
        return outline.result(handler.problem);
    }
    return outline.result(
        placed(positionAt(text, parsed.Offset()), rapidjson::GetParseError_En(parsed.Code())));
}

// libyaml's parser and its current event, released on every way out.
class YamlEvents {
  public:
    explicit YamlEvents(std::string_view text) : text_(text) {
        if (!yaml_parser_initialize(&parser_)) {
            throw std::bad_alloc();
        }
        // libyaml requires an input pointer even for an empty text.
        const char* input = text.empty() ? "" : text.data();
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(input), text.size());
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    }
    ~YamlEvents() {
        release();
        yaml_parser_delete(&parser_);
    }
    YamlEvents(const YamlEvents&) = delete;
    YamlEvents& operator=(const YamlEvents&) = delete;

    // The next event; false at a syntax error.
    bool next() {
        release();
        held_ = yaml_parser_parse(&parser_, &event_) != 0;
        return held_;
    }
    const yaml_event_t& event() const { return event_; }
    std::string syntaxError() const {
        const char* problem = parser_.problem ? parser_.problem : "the YAML cannot be read";
        // The reader of characters names a byte offset; the scanner and parser name a mark.
        const TextPosition position =
            parser_.error == YAML_READER_ERROR
                ? positionAt(text_, parser_.problem_offset)
                : TextPosition{parser_.problem_mark.line + 1, parser_.problem_mark.column + 1};
        return placed(position, problem);
    }

  private:
    void release() {
        if (held_) {
            yaml_event_delete(&event_);
        }
        held_ = false;
    }

    std::string_view text_;
    yaml_parser_t parser_;
    yaml_event_t event_{};
    bool held_ = false;
};

TextPosition startOf(const yaml_event_t& event) {
    return {event.start_mark.line + 1, event.start_mark.column + 1};
}

bool isFlow(const yaml_event_t& event) {
    return (event.type == YAML_MAPPING_START_EVENT &&
            event.data.mapping_start.style == YAML_FLOW_MAPPING_STYLE) ||
           (event.type == YAML_SEQUENCE_START_EVENT &&
            event.data.sequence_start.style == YAML_FLOW_SEQUENCE_STYLE);
}

// Keys that are not plain texts (aliases, collections) are not compared.
ScenarioTextScan scanYaml(std::string_view text) {
    Outline outline;
    YamlEvents events(text);
    std::vector<bool> flow; // of each open collection
    std::size_t flowDepth = 0;
    while (events.next()) {
        const yaml_event_t& event = events.event();
        switch (event.type) {
        case YAML_STREAM_END_EVENT:
            return outline.result(std::nullopt);
        case YAML_MAPPING_END_EVENT:
        case YAML_SEQUENCE_END_EVENT:
            flowDepth -= flow.back();
            flow.pop_back();
            outline.close();
            continue;
        case YAML_SCALAR_EVENT:
            if (!outline.node(
                    NodeKind::Scalar,
                    {reinterpret_cast<const char*>(event.data.scalar.value), event.data.scalar.length},
                    startOf(event).line)) {
                return outline.result(placed(startOf(event), outline.repetition()));
            }
            continue;
        case YAML_ALIAS_EVENT:
            (void)outline.node(NodeKind::Scalar, {}, startOf(event).line);
            continue;
        case YAML_MAPPING_START_EVENT:
        case YAML_SEQUENCE_START_EVENT:
            break;
        default:
            continue;
        }
        flow.push_back(isFlow(event));
        flowDepth += flow.back();
        if (flowDepth > YamlTreeBuilder::kMaxFlowDepth) {
            return outline.result(placed(startOf(event), "[ and { nested deeper than " +
                                                             std::to_string(YamlTreeBuilder::kMaxFlowDepth) +
                                                             " levels"));
        }
        (void)outline.node(event.type == YAML_MAPPING_START_EVENT ? NodeKind::Mapping : NodeKind::List, {},
                           startOf(event).line);
    }
    return outline.result(events.syntaxError());
}

} // namespace

ScenarioTextScan scanScenarioText(std::string_view text, ScenarioFormat format) {
    if (const std::size_t nul = text.find('\0'); nul != std::string_view::npos) {
        return {placed(positionAt(text, nul), "a NUL byte; a scenario is text"), {}};
    }
    return format == ScenarioFormat::Json ? scanJson(text) : scanYaml(text);
}

} // namespace kiv::kivhost
