#include "kivhost/scenario/value_description.h"

#include "kivhost/core/json_text.h"

namespace kiv::kivhost {

std::string described(const Value& value) {
    switch (value.kind()) {
    case ValueKind::Empty:
        return "got nothing";
    case ValueKind::String: {
        const std::string_view text = value.getString("");
        return "got '" + std::string(text.substr(0, 40)) + (text.size() > 40 ? "...'" : "'");
    }
    case ValueKind::Collection:
        return "got a list";
    case ValueKind::Structure:
        return "got a mapping";
    case ValueKind::Blob:
        return "got binary data";
    default:
        return "got " + toJson(value);
    }
}

} // namespace kiv::kivhost
