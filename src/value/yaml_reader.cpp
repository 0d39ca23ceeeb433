#include "value/yaml_reader.h"

#include "format/message_format.h"
#include "value/yaml_tree_builder.h"

#include <yaml.h>

namespace kiv {
namespace {

constexpr std::string_view kParserError = "YAML parser error: %1. At line: %2 col: %3";

// libyaml's parser over a text, deleted on every way out.
class YamlParser {
  public:
    explicit YamlParser(std::string_view text) {
        if (!yaml_parser_initialize(&parser_)) {
            throw std::bad_alloc();
        }
        // libyaml requires an input pointer even for an empty text.
        const char* input = text.empty() ? "" : text.data();
        yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(input), text.size());
        yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    }
    ~YamlParser() { yaml_parser_delete(&parser_); }
    YamlParser(const YamlParser&) = delete;
    YamlParser& operator=(const YamlParser&) = delete;

    [[nodiscard]] bool parse(yaml_event_t& event) { return yaml_parser_parse(&parser_, &event) != 0; }

    // The parser's problem, with its position as libyaml counts it (from 0).
    std::string errorText() const {
        const char* problem = parser_.problem ? parser_.problem : "out of memory";
        return formatMessage(kParserError, {problem, parser_.problem_mark.line, parser_.problem_mark.column});
    }

  private:
    yaml_parser_t parser_;
};

// One event, deleted after use.
class YamlEvent {
  public:
    YamlEvent() noexcept = default;
    ~YamlEvent() { yaml_event_delete(&event_); }
    YamlEvent(const YamlEvent&) = delete;
    YamlEvent& operator=(const YamlEvent&) = delete;

    yaml_event_t& get() noexcept { return event_; }

  private:
    yaml_event_t event_{};
};

} // namespace

ConversionResult parseYaml(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    ConversionResult result;
    result.guard([&] {
        YamlParser parser(text);
        YamlTreeBuilder builder(result);
        while (result.ok()) {
            YamlEvent event;
            if (!parser.parse(event.get())) {
                result.setError(parser.errorText());
                return;
            }
            const yaml_event_type_t type = event.get().type;
            if (type == YAML_STREAM_END_EVENT || type == YAML_NO_EVENT) {
                return;
            }
            builder.handle(event.get());
        }
    });
    return result;
}

bool looksLikeYaml(std::string_view text) noexcept {
    const std::size_t start = text.find_first_not_of(' ');
    return start != std::string_view::npos && text.substr(start).starts_with("---");
}

} // namespace kiv
