#include "kivhost/core/job_name_table.h"

#include <charconv>

namespace kiv::kivhost {
namespace {

// The trailing number of `name` when it is written as std::to_chars writes an int32 (no leading
// zero, no "-0", within the range), so that writing it back gives the same text.
bool splitNumber(std::string_view name, std::string_view& stem, std::int32_t& number) {
    std::size_t digits = name.size();
    while (digits > 0 && name[digits - 1] >= '0' && name[digits - 1] <= '9') {
        --digits;
    }
    if (digits == name.size()) {
        return false;
    }
    const std::size_t start = digits > 0 && name[digits - 1] == '-' ? digits - 1 : digits;
    const std::string_view written = name.substr(start);
    const auto [end, error] = std::from_chars(written.data(), written.data() + written.size(), number);
    if (error != std::errc() || end != written.data() + written.size()) {
        return false;
    }
    char canonical[16];
    const auto result = std::to_chars(canonical, canonical + sizeof canonical, number);
    if (std::string_view(canonical, static_cast<std::size_t>(result.ptr - canonical)) != written) {
        return false;
    }
    stem = name.substr(0, start);
    return true;
}

} // namespace

JobName JobNameTable::intern(std::string_view name) {
    std::string_view stem = name;
    JobName interned;
    const bool numbered = splitNumber(name, stem, interned.number);
    auto [it, added] = stemIds_.try_emplace(std::string(stem), static_cast<std::uint32_t>(stems_.size()));
    if (added) {
        stems_.push_back(&it->first);
    }
    interned.stem = it->second | (numbered ? kHasNumber : 0);
    return interned;
}

std::string JobNameTable::text(JobName name) const {
    std::string text = stem(name);
    if (isNumbered(name)) {
        text += std::to_string(name.number);
    }
    return text;
}

} // namespace kiv::kivhost
