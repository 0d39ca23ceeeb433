// `kivhost run`: plays a scenario against a plugin library and prints its timeline.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace kiv::kivhost {

// The command line of `kivhost run` as given; empty texts are options not given.
struct RunArguments {
    std::string scenario;
    std::string plugin;
    bool json = false;
    std::string core;
    std::string until;
    std::vector<std::string> only;    // each a comma-separated list of timeline types
    std::vector<std::string> exclude; // likewise
    std::uint32_t streamChunkBytes = 0;
    bool realClock = false;
    bool quiet = false;
    bool printScenario = false;
};

// The checks of the option texts: empty when the text is taken, else what is wrong with it.
std::string checkCoreVersion(const std::string& text); // --core
std::string checkMinutes(const std::string& text);     // --until
std::string checkTypes(const std::string& text);       // --only, --exclude

// Plays the scenario (or prints the built-in one) and returns the exit code: 0 when it was played,
// 1 when it could not be, 2 for --print-scenario given a SCENARIO.
int runCommand(const RunArguments& arguments, std::ostream& out, std::ostream& errors);

} // namespace kiv::kivhost
