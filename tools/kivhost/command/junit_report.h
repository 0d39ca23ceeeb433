// The JUnit XML report of `kivhost test --junit FILE`, which CI systems read: one test suite per
// scenario, one test case per expectation, a failure element for each that did not hold, and a
// case "play" with an error element for a scenario that could not be played.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace kiv::kivhost {

struct JunitCase {
    std::string name;
    std::string failure; // empty when the expectation held
};

struct JunitSuite {
    std::string name;
    std::string error; // why the scenario could not be played to its end; empty when it was
    std::vector<JunitCase> cases;
};

void writeJunitReport(std::ostream& out, const std::vector<JunitSuite>& suites);

// The text with &, <, >, " and ' escaped, and what XML cannot hold (control characters but tab and
// line ends, bytes that are not UTF-8) replaced with U+FFFD, so that any text can go in an
// attribute.
std::string xmlEscaped(std::string_view text);

} // namespace kiv::kivhost
