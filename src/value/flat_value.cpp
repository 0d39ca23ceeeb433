#include "value/flat_value.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <optional>
#include <utility>
#include <vector>

namespace kiv {
namespace {

char* copyText(std::string_view text) {
    auto* copy = new char[text.size() + 1];
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

void setWords(FlatValue& flat, std::uint32_t kind, std::uint64_t bits) noexcept {
    flat.kind = kind;
    flat.a = static_cast<std::uint32_t>(bits);
    flat.b = static_cast<std::uint32_t>(bits >> 32);
}

std::uint64_t wordBits(const FlatValue& flat) noexcept {
    return static_cast<std::uint32_t>(flat.a) | (std::uint64_t(flat.b) << 32);
}

// A collection or structure with records to release.
bool holdsRecords(const FlatValue& flat) noexcept {
    return (flat.kind == KIV_FLAT_COLLECTION || flat.kind == KIV_FLAT_STRUCTURE) && flat.a != 0 &&
           flat.b != 0;
}

// Frees the buffer or array that a record owns, without looking into the array's records.
void releaseStorage(const FlatValue& flat) noexcept {
    switch (flat.kind) {
    case KIV_FLAT_STRING_OWNED:
    case KIV_FLAT_BLOB_OWNED:
        delete[] reinterpret_cast<char*>(flat.a);
        break;
    case KIV_FLAT_COLLECTION:
        delete[] reinterpret_cast<FlatValue*>(flat.a);
        break;
    case KIV_FLAT_STRUCTURE:
        delete[] reinterpret_cast<FlatStructureMember*>(flat.a);
        break;
    default:
        break;
    }
}

} // namespace

std::string_view flatKindName(std::uint32_t kind) noexcept {
    switch (kind) {
    case KIV_FLAT_BOOL:
        return "bool";
    case KIV_FLAT_SIGNED:
        return "signed";
    case KIV_FLAT_UNSIGNED:
        return "unsigned";
    case KIV_FLAT_FLOAT:
        return "float";
    case KIV_FLAT_STRING_BORROWED:
    case KIV_FLAT_STRING_OWNED:
        return "string";
    case KIV_FLAT_BLOB_BORROWED:
    case KIV_FLAT_BLOB_OWNED:
        return "blob";
    case KIV_FLAT_COLLECTION:
        return "collection";
    case KIV_FLAT_STRUCTURE:
        return "structure";
    default:
        return "";
    }
}

// Owned arrays are released without a work list, so that a deep flat tree needs no deep stack and
// the release holds when memory has run out. While an array's records are released, last first,
// the record that owns the array keeps in its pointer word the way back to its own parent record
// and in its count word the records still to release; going back up, the parent's array is found
// from the child record's address and that count.
void releaseFlat(FlatValue& flat) noexcept {
    FlatValue top = std::exchange(flat, FlatValue{});
    if (!holdsRecords(top)) {
        releaseStorage(top);
        return;
    }
    auto* array = reinterpret_cast<unsigned char*>(top.a);
    top.a = 0; // the top record has no parent
    FlatValue* record = &top;
    for (;;) {
        if (record->b == 0) {
            releaseStorage({record->kind, reinterpret_cast<std::uintptr_t>(array), 0});
            auto* parent = reinterpret_cast<FlatValue*>(record->a);
            if (!parent) {
                return;
            }
            // The record is the parent's record at the index its count word has come down to.
            auto* recordBytes = reinterpret_cast<unsigned char*>(record);
            array = parent->kind == KIV_FLAT_COLLECTION ? recordBytes - parent->b * sizeof(FlatValue)
                                                        : recordBytes - offsetof(FlatStructureMember, value) -
                                                              parent->b * sizeof(FlatStructureMember);
            record = parent;
            continue;
        }
        const std::uint32_t index = --record->b;
        FlatValue* child;
        if (record->kind == KIV_FLAT_COLLECTION) {
            child = reinterpret_cast<FlatValue*>(array) + index;
        } else {
            FlatStructureMember& member = reinterpret_cast<FlatStructureMember*>(array)[index];
            if (member.keyOwned) {
                delete[] member.key;
            }
            child = &member.value;
        }
        if (holdsRecords(*child)) {
            auto* childArray = reinterpret_cast<unsigned char*>(child->a);
            child->a = reinterpret_cast<std::uintptr_t>(record);
            record = child;
            array = childArray;
        } else {
            releaseStorage(*child);
        }
    }
}

void setFlatError(FlatResult& result, std::string_view message) noexcept {
    releaseFlat(result);
    try {
        result.error = copyText(message);
    } catch (...) {
        result.error = nullptr; // without memory for the text, the flag still reports the failure
    }
    result.failed = 1;
}

void releaseFlat(FlatResult& result) noexcept {
    releaseFlat(result.value);
    delete[] result.error;
    result.error = nullptr;
    result.failed = 0;
}

void setFlatBool(FlatValue& flat, bool value) noexcept {
    releaseFlat(flat);
    flat.kind = KIV_FLAT_BOOL;
    flat.a = value ? 1 : 0;
}

void setFlatSigned(FlatValue& flat, std::int64_t value) noexcept {
    releaseFlat(flat);
    setWords(flat, KIV_FLAT_SIGNED, static_cast<std::uint64_t>(value));
}

void setFlatUnsigned(FlatValue& flat, std::uint64_t value) noexcept {
    releaseFlat(flat);
    setWords(flat, KIV_FLAT_UNSIGNED, value);
}

void setFlatFloat(FlatValue& flat, double value) noexcept {
    releaseFlat(flat);
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    setWords(flat, KIV_FLAT_FLOAT, bits);
}

void setFlatString(FlatValue& flat, std::string_view text) {
    char* copy = copyText(text);
    releaseFlat(flat);
    flat.kind = KIV_FLAT_STRING_OWNED;
    flat.a = reinterpret_cast<std::uintptr_t>(copy);
    flat.b = static_cast<std::uint32_t>(text.size());
}

void setFlatBlob(FlatValue& flat, std::span<const std::uint8_t> bytes) {
    auto* copy = new char[bytes.size() ? bytes.size() : 1];
    if (!bytes.empty()) {
        std::memcpy(copy, bytes.data(), bytes.size());
    }
    releaseFlat(flat);
    flat.kind = KIV_FLAT_BLOB_OWNED;
    flat.a = reinterpret_cast<std::uintptr_t>(copy);
    flat.b = static_cast<std::uint32_t>(bytes.size());
}

void setFlatCollection(FlatValue& flat, FlatValue* elements, std::uint32_t count) noexcept {
    releaseFlat(flat);
    flat.kind = KIV_FLAT_COLLECTION;
    flat.a = reinterpret_cast<std::uintptr_t>(elements);
    flat.b = count;
}

void setFlatStructure(FlatValue& flat, FlatStructureMember* members, std::uint32_t count) noexcept {
    releaseFlat(flat);
    flat.kind = KIV_FLAT_STRUCTURE;
    flat.a = reinterpret_cast<std::uintptr_t>(members);
    flat.b = count;
}

FlatValue* allocateFlatArray(std::uint32_t count) {
    return new FlatValue[count ? count : 1]();
}

FlatStructureMember* allocateFlatMembers(std::uint32_t count) {
    return new FlatStructureMember[count ? count : 1]();
}

std::int64_t flatSigned(const FlatValue& flat) noexcept {
    return static_cast<std::int64_t>(wordBits(flat));
}

std::uint64_t flatUnsigned(const FlatValue& flat) noexcept {
    return wordBits(flat);
}

double flatFloat(const FlatValue& flat) noexcept {
    const std::uint64_t bits = wordBits(flat);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

bool valueToFlat(const Value& value, FlatValue& flat, const EnumNameLookup* enums) {
    struct Step {
        const Value* from;
        void* to; // a FlatValue, possibly unaligned
    };
    releaseFlat(flat);
    std::vector<Step> pending;
    Step step{&value, &flat};
    try {
        for (;;) {
            const Value& from = *step.from;
            // Each record is complete before it is stored, so a failure later on leaves a tree
            // that releaseFlat can free.
            FlatValue to{};
            switch (from.kind()) {
            case ValueKind::Empty:
                break;
            case ValueKind::Bool:
                setFlatBool(to, from.getBool(false));
                break;
            case ValueKind::Signed:
                setFlatSigned(to, from.getSigned(0));
                break;
            case ValueKind::Unsigned:
                setFlatUnsigned(to, from.getUnsigned(0));
                break;
            case ValueKind::Float:
                setFlatFloat(to, from.getFloat(0.0));
                break;
            case ValueKind::String:
                setFlatString(to, from.getString({}));
                break;
            case ValueKind::Blob:
                setFlatBlob(to, from.getBlob({}));
                break;
            case ValueKind::Enum: {
                const EnumValue enumValue = from.getEnum({});
                std::optional<std::string_view> name;
                if (enums) {
                    name = enums->enumeratorName(enumValue.type, enumValue.value);
                }
                if (name) {
                    setFlatString(to, *name);
                } else {
                    setFlatSigned(to, enumValue.value);
                }
                break;
            }
            case ValueKind::Collection: {
                std::span<const Value> elements = from.elements();
                const auto count = static_cast<std::uint32_t>(elements.size());
                FlatValue* array = allocateFlatArray(count);
                setFlatCollection(to, array, count);
                std::memcpy(step.to, &to, sizeof to);
                for (std::uint32_t i = 0; i < count; ++i) {
                    pending.push_back({&elements[i], &array[i]});
                }
                break;
            }
            case ValueKind::Structure: {
                const auto count = static_cast<std::uint32_t>(from.size());
                FlatStructureMember* members = allocateFlatMembers(count);
                setFlatStructure(to, members, count);
                std::memcpy(step.to, &to, sizeof to);
                std::uint32_t i = 0;
                for (const ValueMember member : from.members()) {
                    members[i].key = copyText(member.key);
                    members[i].keyOwned = 1;
                    pending.push_back({&member.value, reinterpret_cast<unsigned char*>(&members[i]) +
                                                          offsetof(FlatStructureMember, value)});
                    ++i;
                }
                break;
            }
            }
            std::memcpy(step.to, &to, sizeof to);
            if (pending.empty()) {
                return true;
            }
            step = pending.back();
            pending.pop_back();
        }
    } catch (const std::bad_alloc&) {
        releaseFlat(flat);
    }
    return false;
}

} // namespace kiv
