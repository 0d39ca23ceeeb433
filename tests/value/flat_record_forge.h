// Random flat records as a host may send them, hostile ones among them: shared and self-containing
// arrays, unknown kinds, texts whose length word and terminator disagree. Differential tests hand
// them to a reading and to the tree it does without.
#pragma once

#include "kiv/plugin_abi.h"
#include "value/flat_record.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kiv::test {

template <class T> inline std::uintptr_t addressOf(const T* pointer) {
    return reinterpret_cast<std::uintptr_t>(pointer);
}

inline void setMember(FlatStructureMember& member, const char* key, const FlatValue& value) {
    member.key = key;
    std::memcpy(&member.value, &value, sizeof value); // the member is packed
}

// Random flat records as a host may send them, kept in blocks that live as long as the forge.
// Records are packed, so any block holds them.
class RecordForge {
  public:
    // Structures name their members with `keys`, repeats and null among them as a host may send.
    RecordForge(std::uint32_t seed, std::vector<const char*> keys) : random_(seed), keys_(std::move(keys)) {}

    // Mostly a list of elements of every shape, now and then something else; with
    // `tooManyBytes`, a list whose texts hold more bytes than one conversion may read.
    FlatValue record(bool tooManyBytes) {
        top_ = {};
        if (!tooManyBytes && chance(25)) {
            return anyValue(2);
        }
        const std::uint32_t count = below(10) + (tooManyBytes ? kLongTextCopies : 0);
        auto* elements = newArray<FlatValue>(count);
        top_ = {KIV_FLAT_COLLECTION, addressOf(elements), count};
        for (std::uint32_t i = 0; i < count; ++i) {
            elements[i] = tooManyBytes && i < kLongTextCopies ? longText() : element(3);
        }
        return top_;
    }

    // Mostly a structure whose members' values are of every shape, now and then something else.
    FlatValue structureRecord() {
        top_ = {};
        if (chance(25)) {
            return anyValue(2);
        }
        const std::uint32_t count = below(12);
        auto* members = newArray<FlatStructureMember>(count);
        top_ = {KIV_FLAT_STRUCTURE, addressOf(members), count};
        fillMembers(members, count, top_, 3);
        return top_;
    }

  private:
    // 17 copies of 16 MiB are more than the 256 MiB of text one conversion may read.
    static constexpr std::uint32_t kLongTextCopies = 17;

    FlatValue element(int depth) { return chance(4) ? anyValue(depth) : structure(depth); }

    FlatValue structure(int depth) {
        const std::uint32_t count = below(5);
        auto* members = newArray<FlatStructureMember>(count);
        const FlatValue self{KIV_FLAT_STRUCTURE, addressOf(members), count};
        fillMembers(members, count, self, depth);
        return self;
    }

    void fillMembers(FlatStructureMember* members, std::uint32_t count, const FlatValue& self, int depth) {
        for (std::uint32_t i = 0; i < count; ++i) {
            setMember(members[i], keys_[below(keys_.size())],
                      chance(150) ? self
                      : chance(3) ? anyValue(depth - 1)
                                  : scalar());
        }
    }

    FlatValue anyValue(int depth) {
        if (chance(100)) {
            static const std::uint32_t kUnknownKinds[] = {11, 12, 77, 0xFFFFFFFFu};
            return {kUnknownKinds[below(std::size(kUnknownKinds))], 0, 0};
        }
        if (top_.b != 0 && chance(100)) {
            return top_; // the list inside itself
        }
        if (depth <= 0 || chance(2)) {
            return scalar();
        }
        if (chance(2)) {
            return structure(depth);
        }
        const std::uint32_t count = below(4);
        auto* elements = newArray<FlatValue>(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            elements[i] = element(depth - 1);
        }
        return {KIV_FLAT_COLLECTION, addressOf(elements), count};
    }

    FlatValue scalar() {
        constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
        constexpr double kInfinity = std::numeric_limits<double>::infinity();
        static const std::uintptr_t kBoolWords[] = {0, 1, 2, 0x100, 0xFF00, 0x101};
        static const std::uint64_t kWords[] = {0,          1,          0xFFFFFFFFull, 0x1000001C2ull,
                                               1ull << 63, ~0ull >> 1, ~0ull};
        static const double kFloats[] = {1e30, -1e30,  kNaN,    -2.5,         2.5,       0.0,
                                         -0.0, 9.3e18, -9.3e18, 4294967746.7, kInfinity, -kInfinity};
        static const std::uint8_t kBytes[] = {'1', '2', 0};
        FlatValue flat{};
        switch (below(7)) {
        case 0:
            return flat;
        case 1:
            return {KIV_FLAT_BOOL, kBoolWords[below(std::size(kBoolWords))], 0};
        case 2:
            setFlatSigned(
                flat, static_cast<std::int64_t>(chance(2) ? kWords[below(std::size(kWords))] : random_()));
            return flat;
        case 3:
            setFlatUnsigned(flat, chance(2) ? kWords[below(std::size(kWords))] : random_());
            return flat;
        case 4:
            setFlatFloat(flat, kFloats[below(std::size(kFloats))]);
            return flat;
        case 5:
            return {KIV_FLAT_BLOB_BORROWED + below(2), chance(3) ? 0 : addressOf(kBytes), below(4)};
        default:
            return text();
        }
    }

    // A text as hosts send them: its length word at its terminator or short of it, a terminator
    // inside, or no text at all.
    FlatValue text() {
        static const char* const kTexts[] = {
            "12abc", "-5", "99999999999999999999", "-99999999999999999999", "0x1C2", "017", "  42", "+7", "",
            "abc",   "0x", "9223372036854775808"};
        const std::uint32_t kind = KIV_FLAT_STRING_BORROWED + below(2);
        std::string& kept = blocks_.emplace_back(kTexts[below(std::size(kTexts))]);
        kept += chance(4) ? std::string(1, '\0') + "34" : std::string("7");
        const auto length = static_cast<std::uint32_t>(kept.size());
        const std::uint32_t shortBy = std::min(below(3), length);
        return chance(5) ? FlatValue{kind, 0, 5} : FlatValue{kind, addressOf(kept.c_str()), length - shortBy};
    }

    static FlatValue longText() {
        static const std::string kText(16 * 1024 * 1024, '1');
        return {KIV_FLAT_STRING_BORROWED, addressOf(kText.c_str()), static_cast<std::uint32_t>(kText.size())};
    }

    template <class T> T* newArray(std::uint32_t count) {
        return reinterpret_cast<T*>(blocks_.emplace_back(count * sizeof(T), '\0').data());
    }

    std::uint32_t below(std::size_t bound) { return static_cast<std::uint32_t>(random_() % bound); }
    bool chance(std::uint32_t oneIn) { return below(oneIn) == 0; }

    std::mt19937_64 random_;
    std::vector<const char*> keys_;
    std::deque<std::string> blocks_;
    FlatValue top_{};
};

} // namespace kiv::test
