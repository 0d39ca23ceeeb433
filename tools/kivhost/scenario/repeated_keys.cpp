#include "kivhost/scenario/repeated_keys.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>
#include <yaml.h>

#include <map>
#include <new>
#include <vector>

namespace kiv::kivhost {
namespace {

// The keys seen in each open mapping, innermost last, with the line of each (from 1).
class KeyTracker {
  public:
    void openMapping() { open_.emplace_back(); }
    void closeMapping() {
        if (!open_.empty()) {
            open_.pop_back();
        }
    }
    // Records a key of the innermost mapping; false (and the problem kept) when it is repeated.
    bool key(std::string text, std::size_t line) {
        if (open_.empty()) {
            return true;
        }
        const auto [first, added] = open_.back().emplace(text, line);
        if (!added) {
            problem_ = "line " + std::to_string(line) + ": '" + text + "' is repeated (first on line " +
                       std::to_string(first->second) + ")";
        }
        return added;
    }
    const std::optional<std::string>& problem() const { return problem_; }

  private:
    std::vector<std::map<std::string, std::size_t>> open_;
    std::optional<std::string> problem_;
};

// RapidJSON's memory stream, counting lines as it goes (a JSON key never spans lines).
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

struct JsonKeys : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, JsonKeys> {
    JsonKeys(KeyTracker& tracker, const LineCountingStream& stream) : tracker(tracker), stream(stream) {}
    bool StartObject() {
        tracker.openMapping();
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        tracker.closeMapping();
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        return tracker.key(std::string(text, length), stream.line());
    }
    KeyTracker& tracker;
    const LineCountingStream& stream;
};

std::optional<std::string> findRepeatedJsonKey(std::string_view text) {
    KeyTracker tracker;
    LineCountingStream stream(text);
    JsonKeys keys(tracker, stream);
    rapidjson::Reader reader;
    (void)reader.Parse<rapidjson::kParseIterativeFlag>(stream, keys);
    return tracker.problem();
}

// libyaml's parser and its current event, released on every way out.
class YamlEvents {
  public:
    explicit YamlEvents(std::string_view text) {
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
        return "line " + std::to_string(parser_.problem_mark.line + 1) + ", column " +
               std::to_string(parser_.problem_mark.column + 1) + ": " + problem;
    }

  private:
    void release() {
        if (held_) {
            yaml_event_delete(&event_);
        }
        held_ = false;
    }

    yaml_parser_t parser_;
    yaml_event_t event_{};
    bool held_ = false;
};

// In a YAML mapping keys and values alternate: each open collection remembers whether it is a
// mapping and, if so, whether a key comes next. Keys that are not plain texts (aliases,
// collections) are not compared.
std::optional<std::string> findRepeatedYamlKey(std::string_view text) {
    struct Open {
        bool mapping;
        bool keyNext;
    };
    KeyTracker tracker;
    YamlEvents events(text);
    std::vector<Open> open;
    while (events.next()) {
        const yaml_event_t& event = events.event();
        switch (event.type) {
        case YAML_STREAM_END_EVENT:
            return std::nullopt;
        case YAML_MAPPING_END_EVENT:
            tracker.closeMapping();
            open.pop_back();
            continue;
        case YAML_SEQUENCE_END_EVENT:
            open.pop_back();
            continue;
        case YAML_SCALAR_EVENT:
        case YAML_ALIAS_EVENT:
        case YAML_MAPPING_START_EVENT:
        case YAML_SEQUENCE_START_EVENT:
            break;
        default:
            continue;
        }
        // A node: the key or the value of the mapping it sits in.
        if (!open.empty() && open.back().mapping) {
            const bool isKey = open.back().keyNext;
            open.back().keyNext = !isKey;
            if (isKey && event.type == YAML_SCALAR_EVENT) {
                const std::string key(reinterpret_cast<const char*>(event.data.scalar.value),
                                      event.data.scalar.length);
                if (!tracker.key(key, event.start_mark.line + 1)) {
                    return tracker.problem();
                }
            }
        }
        if (event.type == YAML_MAPPING_START_EVENT) {
            tracker.openMapping();
            open.push_back({true, true});
        } else if (event.type == YAML_SEQUENCE_START_EVENT) {
            open.push_back({false, false});
        }
    }
    return events.syntaxError();
}

} // namespace

std::optional<std::string> findRepeatedKey(std::string_view text, ScenarioFormat format) {
    text = text.substr(0, text.find('\0')); // as far as the value readers read
    return format == ScenarioFormat::Json ? findRepeatedJsonKey(text) : findRepeatedYamlKey(text);
}

} // namespace kiv::kivhost
