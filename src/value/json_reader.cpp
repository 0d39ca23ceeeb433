#include "value/json_reader.h"

#include "value/value_tree_builder.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cstring>
#include <string>
#include <string_view>

namespace kiv {
namespace {

// Texts are taken up to their first NUL character.
std::string_view upToNul(const char* text, std::size_t length) noexcept {
    const void* nul = std::memchr(text, 0, length);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length};
}

// Hands the tokenizer's events to the tree builder. Texts that may hold a NUL through an
// escape are cut at it; the builder never rejects an event.
class JsonEvents : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, JsonEvents> {
  public:
    // The input ends at its first NUL byte, so a decoded text can hold a NUL only through a
    // "\u0000" escape; texts are searched for one only when the input has such an escape.
    JsonEvents(Value& root, bool textsMayHoldNul) : builder_(root), textsMayHoldNul_(textsMayHoldNul) {}

    bool Null() {
        builder_.null();
        return true;
    }
    bool Bool(bool value) {
        builder_.boolean(value);
        return true;
    }
    bool Int(int value) {
        builder_.signedNumber(value);
        return true;
    }
    bool Uint(unsigned value) {
        builder_.unsignedNumber(value);
        return true;
    }
    bool Int64(std::int64_t value) {
        builder_.signedNumber(value);
        return true;
    }
    bool Uint64(std::uint64_t value) {
        builder_.unsignedNumber(value);
        return true;
    }
    bool Double(double value) {
        builder_.floatNumber(value);
        return true;
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        builder_.string(decoded(text, length));
        return true;
    }
    bool StartObject() {
        builder_.startStructure();
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        builder_.key(decoded(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        builder_.endStructure();
        return true;
    }
    bool StartArray() {
        builder_.startCollection();
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        builder_.endCollection();
        return true;
    }

  private:
    std::string_view decoded(const char* text, std::size_t length) const noexcept {
        return textsMayHoldNul_ ? upToNul(text, length) : std::string_view(text, length);
    }

    ValueTreeBuilder builder_;
    bool textsMayHoldNul_;
};

// The iterative mode reports a stray "]", "}", "," or ":" at the start of the document as
// an empty document; the recursive mode, whose codes the messages follow, calls it an
// invalid value. Any other error is reported alike by both.
rapidjson::ParseErrorCode recursiveModeCode(const rapidjson::ParseResult& error, std::string_view text) {
    if (error.Code() == rapidjson::kParseErrorDocumentEmpty && error.Offset() < text.size()) {
        return rapidjson::kParseErrorValueInvalid;
    }
    return error.Code();
}

std::string errorText(const rapidjson::ParseResult& error, std::string_view json) {
    std::string text = "Error: ";
    text += rapidjson::GetParseError_En(recursiveModeCode(error, json));
    text += " at offset ";
    text += std::to_string(static_cast<unsigned>(error.Offset()));
    text += '.';
    return text;
}

} // namespace

ConversionResult parseJson(std::string_view text) {
    text = upToNul(text.data(), text.size());
    ConversionResult result;
    result.guard([&] {
        // The tokenizer decodes strings in place in a private, NUL-terminated copy of the
        // text, which spares it copying every string once more; the copy also bounds the
        // reading by the text's length. The iterative mode keeps its own stack, so deep
        // nesting cannot exhaust the call stack; it accepts the same grammar as the default
        // recursive mode.
        std::string buffer(text);
        rapidjson::InsituStringStream stream(buffer.data());
        rapidjson::Reader reader;
        // The copy holds no NUL before its end, so strstr sees all of it; it looks for the
        // escape's first two characters together, which most texts never hold, where a search
        // for the backslash alone stops at every escaped quote and newline.
        JsonEvents events(result.value(), std::strstr(buffer.c_str(), "\\u0000") != nullptr);
        constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag;
        const rapidjson::ParseResult parsed = reader.Parse<kFlags>(stream, events);
        if (parsed.IsError()) {
            result.setError(errorText(parsed, text));
        }
    });
    return result;
}

bool looksLikeJson(std::string_view text) noexcept {
    const std::size_t start = text.find_first_not_of(' ');
    return start != std::string_view::npos && (text[start] == '{' || text[start] == '[');
}

} // namespace kiv
