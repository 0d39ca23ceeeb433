#include "kivhost/core/json_text.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace kiv::kivhost {
namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, 0 when there is none.
std::size_t sequenceLength(std::string_view text) noexcept {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) {
        return 1;
    }
    std::size_t length;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) {
            low = 0xA0; // no overlong forms
        }
        if (lead == 0xED) {
            high = 0x9F; // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) {
            low = 0x90;
        }
        if (lead == 0xF4) {
            high = 0x8F; // nothing beyond U+10FFFF
        }
    } else {
        return 0;
    }
    if (text.size() < length) {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// One container being written: its elements or members still to come.
struct OpenContainer {
    const Value* value;
    std::size_t nextIndex = 0;
    Value::MemberIterator nextMember{};
    Value::MemberIterator endMember{};
};

// Writes a scalar, or opens a container and returns true so that its children follow.
bool writeOpening(JsonWriter& writer, const Value& value) {
    switch (value.kind()) {
    case ValueKind::Empty:
        writer.Null();
        return false;
    case ValueKind::Bool:
        writer.Bool(value.getBool(false));
        return false;
    case ValueKind::Signed:
        writer.Int64(value.getSigned(0));
        return false;
    case ValueKind::Unsigned:
        writer.Uint64(value.getUnsigned(0));
        return false;
    case ValueKind::Float: {
        const double number = value.getFloat(0.0);
        if (std::isfinite(number)) {
            writer.Double(number);
        } else {
            writer.Null();
        }
        return false;
    }
    case ValueKind::String:
        writeJsonText(writer, value.getString({}));
        return false;
    case ValueKind::Blob:
        writeJsonText(writer, base64(value.getBlob({})));
        return false;
    case ValueKind::Enum:
        writer.Int(value.getEnum({}).value);
        return false;
    case ValueKind::Collection:
        writer.StartArray();
        return true;
    case ValueKind::Structure:
        writer.StartObject();
        return true;
    }
    writer.Null();
    return false;
}

} // namespace

std::string repairUtf8(std::string_view text) {
    std::string repaired;
    repaired.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = sequenceLength(text);
        if (length == 0) {
            repaired += "\xEF\xBF\xBD";
            text.remove_prefix(1);
        } else {
            repaired.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return repaired;
}

void writeJsonValue(JsonWriter& writer, const Value& value) {
    std::vector<OpenContainer> open;
    auto enter = [&](const Value& node) {
        if (!writeOpening(writer, node)) {
            return;
        }
        OpenContainer container{&node};
        if (node.isStructure()) {
            container.nextMember = node.members().begin();
            container.endMember = node.members().end();
        }
        open.push_back(container);
    };
    enter(value);
    while (!open.empty()) {
        OpenContainer& top = open.back();
        if (top.value->isCollection()) {
            const std::span<const Value> elements = top.value->elements();
            if (top.nextIndex == elements.size()) {
                writer.EndArray();
                open.pop_back();
                continue;
            }
            enter(elements[top.nextIndex++]);
        } else {
            if (top.nextMember == top.endMember) {
                writer.EndObject();
                open.pop_back();
                continue;
            }
            const ValueMember member = *top.nextMember;
            ++top.nextMember;
            writeJsonKey(writer, member.key);
            enter(member.value); // may grow `open`; `top` is not used after this
        }
    }
}

std::string toJson(const Value& value) {
    rapidjson::StringBuffer buffer;
    JsonWriter writer(buffer);
    writeJsonValue(writer, value);
    return std::string(buffer.GetString(), buffer.GetSize());
}

std::string base64(std::span<const std::uint8_t> bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t at = 0;
    for (; at + 3 <= bytes.size(); at += 3) {
        const std::uint32_t group = (bytes[at] << 16) | (bytes[at + 1] << 8) | bytes[at + 2];
        for (int shift = 18; shift >= 0; shift -= 6) {
            text += kAlphabet[(group >> shift) & 0x3F];
        }
    }
    const std::size_t left = bytes.size() - at;
    if (left > 0) {
        const std::uint32_t group = (bytes[at] << 16) | (left == 2 ? bytes[at + 1] << 8 : 0);
        text += kAlphabet[(group >> 18) & 0x3F];
        text += kAlphabet[(group >> 12) & 0x3F];
        text += left == 2 ? kAlphabet[(group >> 6) & 0x3F] : '=';
        text += '=';
    }
    return text;
}

} // namespace kiv::kivhost
