#include "value/json_reader.h"

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {
namespace {

// Texts are taken up to their first NUL character.
std::string_view upToNul(const char* text, std::size_t length) noexcept {
    const void* nul = std::memchr(text, 0, length);
    return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : length};
}

// Turns the tokenizer's events into a tree. Containers are reused when they already exist
// under a repeated key, so their contents merge. The builder never rejects an event.
class JsonTreeBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, JsonTreeBuilder> {
  public:
    // The input ends at its first NUL byte, so a decoded text can hold a NUL only through a
    // "\u0000" escape; texts are searched for one only when the input has such an escape.
    JsonTreeBuilder(Value& root, bool textsMayHoldNul)
        : keyTarget_(&root), textsMayHoldNul_(textsMayHoldNul) {}

    bool Null() {
        target(); // inside an array a null still takes its place
        return true;
    }
    bool Bool(bool value) {
        target().setBool(value);
        return true;
    }
    bool Int(int value) {
        target().setSigned(value);
        return true;
    }
    bool Uint(unsigned value) {
        target().setUnsigned(value);
        return true;
    }
    bool Int64(std::int64_t value) {
        target().setSigned(value);
        return true;
    }
    bool Uint64(std::uint64_t value) {
        target().setUnsigned(value);
        return true;
    }
    bool Double(double value) {
        target().setFloat(value);
        return true;
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        target().setString(decoded(text, length));
        return true;
    }
    bool StartObject() {
        Value& object = target();
        object.makeStructure();
        open_.push_back(&object);
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        keyTarget_ = &open_.back()->member(decoded(text, length));
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        open_.pop_back();
        return true;
    }
    bool StartArray() {
        Value& array = target();
        array.makeCollection();
        open_.push_back(&array);
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        open_.pop_back();
        return true;
    }

  private:
    // Where the next value goes: a new element of the innermost array, else the member
    // named by the last key (or the root before any container is open).
    Value& target() {
        if (!open_.empty() && open_.back()->isCollection())
            return open_.back()->append();
        return *keyTarget_;
    }

    std::string_view decoded(const char* text, std::size_t length) const noexcept {
        return textsMayHoldNul_ ? upToNul(text, length) : std::string_view(text, length);
    }

    std::vector<Value*> open_;
    Value* keyTarget_;
    bool textsMayHoldNul_;
};

// The iterative mode reports a stray "]", "}", "," or ":" at the start of the document as
// an empty document; the recursive mode, whose codes the messages follow, calls it an
// invalid value. Any other error is reported alike by both.
rapidjson::ParseErrorCode recursiveModeCode(const rapidjson::ParseResult& error, std::string_view text) {
    if (error.Code() == rapidjson::kParseErrorDocumentEmpty && error.Offset() < text.size())
        return rapidjson::kParseErrorValueInvalid;
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
        JsonTreeBuilder builder(result.value(), text.find("\\u0000") != std::string_view::npos);
        constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseInsituFlag;
        const rapidjson::ParseResult parsed = reader.Parse<kFlags>(stream, builder);
        if (parsed.IsError())
            result.setError(errorText(parsed, text));
    });
    return result;
}

bool looksLikeJson(std::string_view text) noexcept {
    const std::size_t start = text.find_first_not_of(' ');
    return start != std::string_view::npos && (text[start] == '{' || text[start] == '[');
}

} // namespace kiv
