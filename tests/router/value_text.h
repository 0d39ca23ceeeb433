// A compact text of a value tree for comparisons in tests: ~ Empty, true/false, i5 Signed,
// u5 Unsigned, f1.5 Float, 'text' String (NUL as \0), b<n> Blob of n bytes, [..] and {k:..}.
#pragma once

#include "value/value.h"

#include <string>

namespace kiv::test {

inline std::string valueText(const Value& value) {
    switch (value.kind()) {
    case ValueKind::Empty:
        return "~";
    case ValueKind::Bool:
        return value.getBool(false) ? "true" : "false";
    case ValueKind::Signed:
        return "i" + std::to_string(value.getSigned(0));
    case ValueKind::Unsigned:
        return "u" + std::to_string(value.getUnsigned(0));
    case ValueKind::Float:
        return "f" + std::to_string(value.getFloat(0));
    case ValueKind::String: {
        std::string text = "'";
        for (const char c : value.getString({})) {
            text += c == '\0' ? std::string("\\0") : std::string(1, c);
        }
        return text + "'";
    }
    case ValueKind::Blob:
        return "b" + std::to_string(value.size());
    case ValueKind::Enum:
        return "e" + std::to_string(value.getEnum({}).value);
    case ValueKind::Collection: {
        std::string text = "[";
        for (const Value& element : value.elements()) {
            text += (text.size() > 1 ? "," : "") + valueText(element);
        }
        return text + "]";
    }
    case ValueKind::Structure: {
        std::string text = "{";
        for (const ValueMember member : value.members()) {
            text += (text.size() > 1 ? "," : "") + std::string(member.key) + ":" + valueText(member.value);
        }
        return text + "}";
    }
    }
    return "?";
}

} // namespace kiv::test
