// `kivhost test`: plays scenarios and checks what their steps with `expect` say the plugin does.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace kiv::kivhost {

// The command line of `kivhost test` as given; empty texts are options not given.
struct TestArguments {
    std::vector<std::string> scenarios; // files, folders (their scenario files), or - for standard input
    std::string plugin;
    std::string junit; // the JUnit XML report's file
    bool quiet = false;
};

// Prints a line for each expectation that did not hold and a summary; returns 0 when every one
// held, 1 when one did not (or a scenario could not be played), 2 when a scenario cannot be read.
int testCommand(const TestArguments& arguments, std::ostream& out, std::ostream& errors);

} // namespace kiv::kivhost
