// Where the command finds its plugin library and its scenario when it is given none.
#pragma once

#include <filesystem>
#include <string_view>

namespace kiv::kivhost {

// The shutdown-law library next to the kivhost binary.
std::filesystem::path defaultPluginLibrary();

// The built-in default scenario, the text of scenarios/default.yaml as the build found it.
std::string_view defaultScenarioText() noexcept;

} // namespace kiv::kivhost
