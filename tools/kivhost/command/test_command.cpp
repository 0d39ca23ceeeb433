#include "kivhost/command/test_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_work.h"
#include "kivhost/command/junit_report.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/core/host_error.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/scenario/scenario_player.h"

#include <algorithm>
#include <fstream>
#include <iostream>

namespace kiv::kivhost {
namespace {

// The scenarios named, read: a folder stands for its .yaml, .yml and .json files in name order.
// Every one that cannot be read is reported; nullopt then.
std::optional<std::vector<Scenario>> readScenarios(const std::vector<std::string>& given,
                                                   std::ostream& errors) {
    std::vector<Scenario> scenarios;
    bool unreadable = false;
    const auto read = [&](const auto& readOne) {
        try {
            scenarios.push_back(readOne());
        } catch (const ScenarioError& error) {
            reportError(errors, error.what());
            unreadable = true;
        }
    };
    for (const std::string& name : given) {
        std::error_code ignored;
        if (name == "-") {
            read([] { return readScenarioStream(std::cin, ScenarioFormat::Yaml, "standard input"); });
        } else if (!std::filesystem::is_directory(name, ignored)) {
            read([&] { return readScenarioFile(name); });
        } else {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::directory_iterator(name, ignored)) {
                if (entry.is_regular_file(ignored) && isScenarioFileName(entry.path())) {
                    files.push_back(entry.path());
                }
            }
            if (files.empty()) {
                reportError(errors, name + ": holds no scenario (.yaml, .yml or .json)");
                unreadable = true;
            }
            std::sort(files.begin(), files.end());
            for (const std::filesystem::path& file : files) {
                read([&] { return readScenarioFile(file); });
            }
        }
    }
    return unreadable ? std::nullopt : std::optional(std::move(scenarios));
}

// "1 scenario", "2 scenarios".
std::string counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

// "step 3 at 215 through 240": where an expectation stands in its scenario.
std::string placeText(const Expectation& expectation) {
    return "step " + std::to_string(expectation.number) + " at " + minutesText(expectation.atMs) +
           (expectation.throughMs > expectation.atMs ? " through " + minutesText(expectation.throughMs) : "");
}

// The expectations of one scenario after play: a test suite of the report.
JunitSuite playChecked(const Scenario& scenario, const std::filesystem::path& plugin) {
    JunitSuite suite{scenario.source, {}, {}};
    ExpectationCheck check;
    PlayOptions options;
    options.plugin = plugin;
    try {
        if (!playScenario(
                 scenario, options, [](const Happening&) {}, &check)
                 .initialized) {
            suite.error = "the plugin's initialize reported a failure; nothing was played";
        }
    } catch (const HostError& error) {
        suite.error = error.what();
    }
    for (const Expectation& expectation : scenario.expectations) {
        const auto failure =
            std::find_if(check.failures().begin(), check.failures().end(),
                         [&](const ExpectationFailure& f) { return f.expectation == &expectation; });
        suite.cases.push_back({placeText(expectation) + ": " + expectation.label,
                               failure == check.failures().end()
                                   ? std::string()
                                   : "expected " + failure->expected + ", got " + failure->observed});
    }
    if (!suite.error.empty()) { // what was not played did not hold
        suite.cases.clear();
    }
    return suite;
}

} // namespace

int testCommand(const TestArguments& arguments, std::ostream& out, std::ostream& errors) {
    const std::optional<std::vector<Scenario>> scenarios = readScenarios(arguments.scenarios, errors);
    if (!scenarios) {
        return kExitUsage;
    }
    const std::optional<std::filesystem::path> plugin = findPlugin(givenPath(arguments.plugin), errors);
    if (!plugin) {
        return kExitFailure;
    }
    std::vector<JunitSuite> suites;
    std::size_t expectations = 0;
    std::size_t failed = 0;
    std::size_t unplayed = 0;
    for (const Scenario& scenario : *scenarios) {
        JunitSuite suite = playChecked(scenario, *plugin);
        std::size_t suiteFailures = 0;
        for (std::size_t i = 0; i < suite.cases.size(); ++i) {
            if (!suite.cases[i].failure.empty()) {
                out << scenario.source << ":" << scenario.expectations[i].line << ": " << suite.cases[i].name
                    << ": " << suite.cases[i].failure << '\n';
                ++suiteFailures;
            }
        }
        if (!suite.error.empty()) {
            reportError(errors, scenario.source + ": " + suite.error);
            ++unplayed;
        } else if (!arguments.quiet && suiteFailures == 0) {
            out << scenario.source << ": "
                << (suite.cases.empty() ? "played; it has no expectations"
                                        : counted(suite.cases.size(), "expectation") + " held")
                << '\n';
        }
        expectations += scenario.expectations.size();
        failed += suiteFailures;
        suites.push_back(std::move(suite));
    }
    out << counted(scenarios->size(), "scenario") << ", " << counted(expectations, "expectation") << ", "
        << failed << " failed" << (unplayed ? ", " + counted(unplayed, "scenario") + " not played" : "")
        << '\n';
    if (!arguments.junit.empty()) {
        std::ofstream report(arguments.junit, std::ios::binary);
        writeJunitReport(report, suites);
        report.close();
        if (!report) {
            reportError(errors, "cannot write the JUnit report " + arguments.junit);
            return kExitFailure;
        }
    }
    return failed + unplayed == 0 ? kExitSuccess : kExitFailure;
}

} // namespace kiv::kivhost
