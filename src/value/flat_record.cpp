#include "value/flat_record.h"

#include "value/flat_arena.h"

#include <cstddef>
#include <cstring>
#include <new>
#include <utility>

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

bool ownsStorage(const FlatValue& flat) noexcept {
    return flat.a != 0 && (flat.kind == KIV_FLAT_STRING_OWNED || flat.kind == KIV_FLAT_BLOB_OWNED ||
                           flat.kind == KIV_FLAT_COLLECTION || flat.kind == KIV_FLAT_STRUCTURE);
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

// A set built by valueToFlat lives in one arena and goes with it. Any other set is released
// record by record. Owned arrays are released without a work list, so that a deep flat tree needs no deep
// stack and the release holds when memory has run out. While an array's records are released, last first, the
// record that owns the array keeps in its pointer word the way back to its own parent record and in its count
// word the records still to release; going back up, the parent's array is found from the child record's
// address and that count.
void releaseFlat(FlatValue& flat) noexcept {
    FlatValue top = std::exchange(flat, FlatValue{});
    if (ownsStorage(top) && releaseFlatArena(reinterpret_cast<const void*>(top.a))) {
        return;
    }
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

} // namespace kiv
