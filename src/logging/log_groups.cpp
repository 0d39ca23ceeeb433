#include "logging/log_groups.h"

#include <bit>

#include "logging/bounded_text.h"

namespace kiv {

namespace {

using PackedCode = std::uint32_t;
constexpr std::size_t kCodeLength = 3;

constexpr PackedCode pack(const char* code) noexcept {
    PackedCode packed = 0;
    for (std::size_t i = 0; i < kCodeLength && code[i] != '\0'; ++i) {
        packed |= PackedCode{static_cast<unsigned char>(code[i])} << (8 * i);
    }
    return packed;
}

constexpr PackedCode kBuiltIn[kBuiltInLogGroupCount] = {pack("DBG"), pack("GEN"), pack("XTR"), pack("PRF"),
                                                        pack("MEM"), pack("DSK"), pack("NET"), pack("TST")};
constexpr PackedCode kUnregistered = pack("???");

constinit LogGroupTable processTable;
constinit std::atomic<std::uint64_t> libraryGroup{0};

std::uint64_t bit(std::size_t index) noexcept {
    return std::uint64_t{1} << index;
}

} // namespace

std::uint64_t LogGroupTable::registerCode(const char* code) noexcept {
    if (!code || code[0] == '\0') {
        return 0;
    }
    const PackedCode wanted = pack(code);
    for (std::size_t i = 0; i < kBuiltInLogGroupCount; ++i) {
        if (kBuiltIn[i] == wanted) {
            return bit(i);
        }
    }
    // Entries are claimed in order, each by writing its code into it in one step. Two callers
    // registering the same code race for the same free entry, and the one that loses finds the
    // winner's code there; claiming a count first and writing the code after would let the loser
    // miss it and claim a second entry.
    for (std::size_t i = 0; i < codes_.size(); ++i) {
        PackedCode found = codes_[i].load(std::memory_order_acquire);
        if (found == 0 && codes_[i].compare_exchange_strong(found, wanted, std::memory_order_acq_rel)) {
            return bit(kBuiltInLogGroupCount + i);
        }
        if (found == wanted) {
            return bit(kBuiltInLogGroupCount + i);
        }
    }
    return 0; // full: no group rather than an entry past the end
}

void LogGroupTable::format(char* out, std::size_t size, std::uint64_t mask) const noexcept {
    if (!out || size == 0) {
        return;
    }
    BoundedText text(out, size - 1);
    // Only the set bits are visited, lowest first: most records carry one group or none.
    for (std::uint64_t rest = mask; rest != 0; rest &= rest - 1) {
        const auto i = static_cast<std::size_t>(std::countr_zero(rest));
        if (text.length() > 0) {
            text.append(';');
        }
        PackedCode packed = i < kBuiltInLogGroupCount
                                ? kBuiltIn[i]
                                : codes_[i - kBuiltInLogGroupCount].load(std::memory_order_acquire);
        if (packed == 0) {
            packed = kUnregistered;
        }
        for (std::size_t c = 0; c < kCodeLength && ((packed >> (8 * c)) & 0xFF) != 0; ++c) {
            text.append(static_cast<char>((packed >> (8 * c)) & 0xFF));
        }
    }
}

std::uint64_t RegisterLogGroup(const char* code) noexcept {
    return processTable.registerCode(code);
}

void formatLogGroups(char* out, std::size_t size, std::uint64_t mask) noexcept {
    processTable.format(out, size, mask);
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
