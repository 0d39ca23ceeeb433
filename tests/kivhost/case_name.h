// Names the cases of a parameterised test after their own `name` member, so that ctest lists
// them readably.
#pragma once

#include <string>

namespace kiv::test {

struct CaseName {
    template <class Info> std::string operator()(const Info& info) const { return info.param.name; }
};

} // namespace kiv::test
