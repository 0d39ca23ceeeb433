// The dashboard of `kivhost serve`: one page with its style and script, built into the binary.
#pragma once

#include <string_view>

namespace kiv::kivhost {

std::string_view dashboardPage() noexcept;

} // namespace kiv::kivhost
