// The names of scheduled jobs, kept small: a host that holds millions of pending timers holds
// millions of names, most of them one stem with a different number ("….disable-queue.450"). A
// name is kept as the number of its stem, interned once, and its trailing decimal number, so
// that a name costs eight bytes however long it is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kiv::kivhost {

struct JobName {
    std::uint32_t stem = 0;
    std::int32_t number = 0; // meaningful when the stem's kHasNumber bit is set
};

class JobNameTable {
  public:
    JobName intern(std::string_view name);
    [[nodiscard]] std::string text(JobName name) const;
    // The name without its trailing number ("….disable-queue."), and whether it had one.
    [[nodiscard]] const std::string& stem(JobName name) const { return *stems_.at(name.stem & ~kHasNumber); }
    [[nodiscard]] static bool isNumbered(JobName name) noexcept { return (name.stem & kHasNumber) != 0; }

  private:
    static constexpr std::uint32_t kHasNumber = 0x80000000u;

    std::vector<const std::string*> stems_; // the keys of stemIds_, by id
    std::unordered_map<std::string, std::uint32_t> stemIds_;
};

} // namespace kiv::kivhost
