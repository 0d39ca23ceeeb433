// Opaque tokens that stand for entries of a process-wide table, for handing to a host in place of
// addresses. A host may hand a token back late (after what it named is gone), twice, or never;
// resolving a token reads nothing but its value, under the table's one lock. Tokens count up from
// 1 for the whole process, so one is reused only after the counter has gone once round the width
// of a pointer.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <utility>

namespace kiv::platform {

template <class Entry> class TokenTable {
  public:
    // Enters the entry under a new token: never 0 and never the token of a live entry.
    [[nodiscard]] std::uintptr_t issue(Entry entry) {
        std::lock_guard lock(mutex_);
        // Tokens count up, so a new one sorts after every live one until the counter wraps: it
        // goes at the end of the table without a search.
        std::uintptr_t token = lastToken_;
        bool last = false;
        do {
            ++token;
            last = entries_.empty() || entries_.rbegin()->first < token;
        } while (token == 0 || (!last && entries_.contains(token)));
        entries_.emplace_hint(last ? entries_.end() : entries_.upper_bound(token), token, std::move(entry));
        lastToken_ = token;
        return token;
    }

    // Takes the entry out; nothing for a token that is not there. What it held is released by the
    // caller, after the table's lock.
    [[nodiscard]] std::optional<Entry> take(std::uintptr_t token) noexcept {
        std::optional<Entry> taken;
        std::lock_guard lock(mutex_);
        if (auto it = entries_.find(token); it != entries_.end()) {
            taken = std::move(it->second);
            entries_.erase(it);
        }
        return taken;
    }

    // A copy of the entry, left in place; nothing for a token that is not there.
    [[nodiscard]] std::optional<Entry> find(std::uintptr_t token) const {
        std::lock_guard lock(mutex_);
        if (auto it = entries_.find(token); it != entries_.end()) {
            return it->second;
        }
        return std::nullopt;
    }

    // Whether the token was handed out at some time (it may have been taken since).
    [[nodiscard]] bool wasIssued(std::uintptr_t token) const noexcept {
        std::lock_guard lock(mutex_);
        return token != 0 && token <= lastToken_;
    }

    [[nodiscard]] std::size_t size() const noexcept {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

  private:
    mutable std::mutex mutex_;
    std::map<std::uintptr_t, Entry> entries_;
    std::uintptr_t lastToken_ = 0;
};

} // namespace kiv::platform
