#include "value/value_node.h"

namespace kiv {

std::string_view valueKindName(ValueKind kind) noexcept {
    switch (kind) {
    case ValueKind::Empty:
        return "empty";
    case ValueKind::Bool:
        return "bool";
    case ValueKind::Signed:
        return "signed";
    case ValueKind::Unsigned:
        return "unsigned";
    case ValueKind::Float:
        return "float";
    case ValueKind::String:
        return "string";
    case ValueKind::Blob:
        return "blob";
    case ValueKind::Enum:
        return "enum";
    case ValueKind::Collection:
        return "collection";
    case ValueKind::Structure:
        return "structure";
    }
    return "";
}

} // namespace kiv
