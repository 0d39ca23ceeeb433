#include "logging/log_groups.h"

#include "logging/bounded_text.h"

#include <array>
#include <atomic>
#include <iterator>
#include <utility>

namespace kiv {

namespace {

// Each code is kept as its three characters packed into one atomic word, so that a reader never
// sees half an entry while another thread registers one.
using PackedCode = std::uint32_t;
constexpr std::size_t kCodeLength = 3;

constexpr PackedCode pack(const char* code) noexcept {
    PackedCode packed = 0;
    for (std::size_t i = 0; i < kCodeLength && code[i] != '\0'; ++i)
        packed |= PackedCode{static_cast<unsigned char>(code[i])} << (8 * i);
    return packed;
}

constexpr PackedCode initialCode(std::size_t index) noexcept {
    constexpr const char* builtIn[] = {"DBG", "GEN", "XTR", "PRF", "MEM", "DSK", "NET", "TST"};
    return index < std::size(builtIn) ? pack(builtIn[index]) : pack("???");
}

struct GroupTable {
    std::array<std::atomic<PackedCode>, kLogGroupCount> codes;
    std::atomic<std::uint32_t> used; // entries in use; registration claims the next one
};

template <std::size_t... Index> constexpr GroupTable initialTable(std::index_sequence<Index...>) noexcept {
    return GroupTable{{initialCode(Index)...}, 8};
}

constinit GroupTable groupTable = initialTable(std::make_index_sequence<kLogGroupCount>());
constinit std::atomic<std::uint64_t> libraryGroup{0};

std::uint64_t bit(std::size_t index) noexcept {
    return std::uint64_t{1} << index;
}

} // namespace

std::uint64_t RegisterLogGroup(const char* code) noexcept {
    if (!code || code[0] == '\0')
        return 0;
    const PackedCode wanted = pack(code);
    std::uint32_t used = groupTable.used.load(std::memory_order_acquire);
    for (std::size_t i = 0; i < used && i < kLogGroupCount; ++i)
        if (groupTable.codes[i].load(std::memory_order_acquire) == wanted)
            return bit(i);
    // Claim the next entry; a full table hands out no group rather than writing past its end.
    do {
        if (used >= kLogGroupCount)
            return 0;
    } while (!groupTable.used.compare_exchange_weak(used, used + 1, std::memory_order_acq_rel));
    groupTable.codes[used].store(wanted, std::memory_order_release);
    return bit(used);
}

void formatLogGroups(char* out, std::size_t size, std::uint64_t mask) noexcept {
    if (!out || size == 0)
        return;
    BoundedText text(out, size - 1);
    for (std::size_t i = 0; i < kLogGroupCount; ++i) {
        if ((mask & bit(i)) == 0)
            continue;
        if (text.length() > 0)
            text.append(';');
        const PackedCode packed = groupTable.codes[i].load(std::memory_order_acquire);
        for (std::size_t c = 0; c < kCodeLength && ((packed >> (8 * c)) & 0xFF) != 0; ++c)
            text.append(static_cast<char>((packed >> (8 * c)) & 0xFF));
    }
}

std::uint64_t registerLibraryLogGroup() noexcept {
    const std::uint64_t mask = RegisterLogGroup("LOC");
    libraryGroup.store(mask, std::memory_order_relaxed);
    return mask;
}

std::uint64_t libraryLogGroup() noexcept {
    return libraryGroup.load(std::memory_order_relaxed);
}

} // namespace kiv
