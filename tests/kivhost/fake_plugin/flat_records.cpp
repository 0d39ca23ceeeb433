#include "flat_records.h"

#include <cstring>

namespace kiv::test::fake {
namespace {

char* copyText(std::string_view text) {
    char* copy = new char[text.size() + 1];
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

FlatValue loadFlat(const void* at) {
    FlatValue value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

void printInto(const FlatValue& value, std::string& out, int depth) {
    if (depth > 64) {
        out += "...";
        return;
    }
    switch (value.kind) {
    case KIV_FLAT_EMPTY:
        out += "null";
        return;
    case KIV_FLAT_BOOL:
        out += (value.a & 0xFF) ? "true" : "false";
        return;
    case KIV_FLAT_SIGNED:
        out +=
            std::to_string(static_cast<std::int64_t>(std::uint32_t(value.a) | std::uint64_t(value.b) << 32));
        return;
    case KIV_FLAT_UNSIGNED:
        out += std::to_string(std::uint32_t(value.a) | std::uint64_t(value.b) << 32);
        return;
    case KIV_FLAT_FLOAT: {
        const std::uint64_t bits = std::uint32_t(value.a) | std::uint64_t(value.b) << 32;
        double number;
        std::memcpy(&number, &bits, sizeof number);
        out += std::to_string(number);
        return;
    }
    case KIV_FLAT_STRING_BORROWED:
    case KIV_FLAT_STRING_OWNED:
        out += '"';
        out += reinterpret_cast<const char*>(value.a);
        out += '"';
        return;
    case KIV_FLAT_BLOB_BORROWED:
    case KIV_FLAT_BLOB_OWNED:
        out += "<" + std::to_string(value.b) + " bytes>";
        return;
    case KIV_FLAT_COLLECTION: {
        out += '[';
        const auto* elements = reinterpret_cast<const FlatValue*>(value.a);
        for (std::uint32_t i = 0; i < value.b; ++i) {
            if (i) {
                out += ',';
            }
            printInto(loadFlat(&elements[i]), out, depth + 1);
        }
        out += ']';
        return;
    }
    case KIV_FLAT_STRUCTURE: {
        out += '{';
        const auto* members = reinterpret_cast<const FlatStructureMember*>(value.a);
        for (std::uint32_t i = 0; i < value.b; ++i) {
            if (i) {
                out += ',';
            }
            out += members[i].key;
            out += ':';
            printInto(
                loadFlat(reinterpret_cast<const char*>(&members[i]) + offsetof(FlatStructureMember, value)),
                out, depth + 1);
        }
        out += '}';
        return;
    }
    default:
        out += "?" + std::to_string(value.kind);
    }
}

} // namespace

FlatValue flatText(std::string_view text) {
    return {KIV_FLAT_STRING_OWNED, reinterpret_cast<std::uintptr_t>(copyText(text)),
            static_cast<std::uint32_t>(text.size())};
}

FlatValue flatNumber(std::int64_t number) {
    const auto bits = static_cast<std::uint64_t>(number);
    return {KIV_FLAT_SIGNED, static_cast<std::uint32_t>(bits), static_cast<std::uint32_t>(bits >> 32)};
}

FlatValue flatBool(bool value) {
    return {KIV_FLAT_BOOL, value ? 1u : 0u, 0};
}

FlatValue flatList(const std::vector<FlatValue>& elements) {
    auto* array = new FlatValue[elements.size() + 1];
    for (std::size_t i = 0; i < elements.size(); ++i) {
        array[i] = elements[i];
    }
    return {KIV_FLAT_COLLECTION, reinterpret_cast<std::uintptr_t>(array),
            static_cast<std::uint32_t>(elements.size())};
}

FlatValue flatObject(const std::vector<std::pair<std::string, FlatValue>>& members) {
    auto* array = new FlatStructureMember[members.size() + 1];
    for (std::size_t i = 0; i < members.size(); ++i) {
        array[i].key = copyText(members[i].first);
        std::memcpy(reinterpret_cast<char*>(&array[i]) + offsetof(FlatStructureMember, value),
                    &members[i].second, sizeof(FlatValue));
        array[i].keyOwned = 1;
    }
    return {KIV_FLAT_STRUCTURE, reinterpret_cast<std::uintptr_t>(array),
            static_cast<std::uint32_t>(members.size())};
}

std::string printFlat(const FlatValue& value) {
    std::string text;
    printInto(value, text, 0);
    return text;
}

void freeFlat(FlatValue& value) {
    switch (value.kind) {
    case KIV_FLAT_STRING_OWNED:
    case KIV_FLAT_BLOB_OWNED:
        delete[] reinterpret_cast<char*>(value.a);
        break;
    case KIV_FLAT_COLLECTION: {
        auto* elements = reinterpret_cast<FlatValue*>(value.a);
        for (std::uint32_t i = 0; i < value.b; ++i) {
            freeFlat(elements[i]);
        }
        delete[] elements;
        break;
    }
    case KIV_FLAT_STRUCTURE: {
        auto* members = reinterpret_cast<FlatStructureMember*>(value.a);
        for (std::uint32_t i = 0; i < value.b; ++i) {
            if (members[i].keyOwned) {
                delete[] members[i].key;
            }
            FlatValue member =
                loadFlat(reinterpret_cast<char*>(&members[i]) + offsetof(FlatStructureMember, value));
            freeFlat(member);
        }
        delete[] members;
        break;
    }
    default:
        break;
    }
    value = FlatValue{};
}

} // namespace kiv::test::fake
