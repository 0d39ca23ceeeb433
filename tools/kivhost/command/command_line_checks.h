// The checks of option values and the wording of the option parser's errors, in kivhost's own
// voice: none of the parser's texts ("The following argument was not expected", "N:INT in
// [0 - 65535]") reaches the user, and an unknown option names the nearest one the command has.
#pragma once

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace kiv::kivhost {

// A whole number from `low` to `high`: "must be a whole number from 0 to 65535" otherwise.
CLI::Validator wholeNumberFrom(long long low, long long high);
// A decimal number from `low` to `high`.
CLI::Validator decimalFrom(double low, double high);
// One of `words`: "must be virtual or real" otherwise.
CLI::Validator oneOf(const std::vector<std::string>& words);

// The name among `names` nearest to `given`, when one is near enough to be what was meant; empty
// otherwise.
std::string nearestName(const std::string& given, const std::vector<std::string>& names);

// What a command line error says, one problem a line, without the program's name.
std::string usageMessage(const CLI::ParseError& error, const CLI::App* command);

} // namespace kiv::kivhost
