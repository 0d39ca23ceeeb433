#include "logging/etw_trace_context.h"

namespace kiv {

namespace {

bool groupWanted(const EtwEventGroup& group, std::uint8_t level, std::uint64_t matchAny,
                 std::uint64_t matchAll) noexcept {
    if (group.level > level && level != 0) {
        return false;
    }
    return group.keyword == 0 || ((group.keyword & matchAny) != 0 && (group.keyword & matchAll) == matchAll);
}

} // namespace

void EtwTraceContext::control(std::uint32_t code, std::uint8_t level, std::uint64_t matchAnyKeyword,
                              std::uint64_t matchAllKeyword) noexcept {
    if (code == kEtwControlEnable) {
        std::uint32_t bits = 0;
        for (std::size_t i = 0; i < groups_.size() && i < kMaxGroups; ++i) {
            if (groupWanted(groups_[i], level, matchAnyKeyword, matchAllKeyword)) {
                bits |= std::uint32_t{1} << i;
            }
        }
        level_.store(level, std::memory_order_release);
        matchAny_.store(matchAnyKeyword, std::memory_order_release);
        matchAll_.store(matchAllKeyword, std::memory_order_release);
        groupBits_.store(bits, std::memory_order_release);
        enabled_.store(true, std::memory_order_release);
    } else if (code == kEtwControlDisable) {
        enabled_.store(false, std::memory_order_release);
        level_.store(0, std::memory_order_release);
        matchAny_.store(0, std::memory_order_release);
        matchAll_.store(0, std::memory_order_release);
        groupBits_.store(0, std::memory_order_release);
    }
}

bool EtwTraceContext::isGroupEnabled(std::size_t group) const noexcept {
    return group < kMaxGroups &&
           (groupBits_.load(std::memory_order_acquire) & (std::uint32_t{1} << group)) != 0;
}

} // namespace kiv
