#include "kivhost/command/test_command.h"

#include "kivhost/command/command_failure.h"
#include "kivhost/command/command_work.h"
#include "kivhost/command/junit_report.h"
#include "kivhost/command/play_inputs.h"
#include "kivhost/core/host_error.h"
#include "kivhost/scenario/minutes.h"
#include "kivhost/scenario/scenario_player.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>

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

// What playing one scenario found: why it could not be played to its end (empty when it was), and
// the failure of each expectation that did not hold, by its index.
struct PlayFindings {
    std::string error;
    std::map<std::size_t, std::string> failures;
};

PlayFindings playChecked(const Scenario& scenario, const std::filesystem::path& plugin) {
    PlayFindings findings;
    ExpectationCheck check;
    PlayOptions options;
    options.plugin = plugin;
    try {
        if (!playScenario(
                 scenario, options, [](const Happening&) {}, &check)
                 .initialized) {
            findings.error = "the plugin's initialize reported a failure; nothing was played";
        }
    } catch (const HostError& error) {
        findings.error = error.what();
    }
    for (const ExpectationFailure& failure : check.failures()) {
        findings.failures[static_cast<std::size_t>(failure.expectation - scenario.expectations.data())] =
            "expected " + failure.expected + ", got " + failure.observed;
    }
    return findings;
}

// The findings as the child that played hands them to kivhost: the error on the first line, then
// "INDEX FAILURE" for each failure. Line ends inside the texts travel as spaces.
void writeFindings(std::FILE* channel, const PlayFindings& findings) {
    const auto line = [&](std::string text) {
        std::replace(text.begin(), text.end(), '\n', ' ');
        std::fputs((text + "\n").c_str(), channel);
    };
    line(findings.error);
    for (const auto& [index, failure] : findings.failures) {
        line(std::to_string(index) + " " + failure);
    }
    std::fflush(channel);
}

PlayFindings readFindings(std::FILE* channel) {
    std::rewind(channel);
    std::string text;
    for (int c = 0; (c = std::fgetc(channel)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::istringstream lines(text);
    PlayFindings findings;
    std::getline(lines, findings.error);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t space = line.find(' ');
        findings.failures[std::stoul(line.substr(0, space))] = line.substr(space + 1);
    }
    return findings;
}

// Plays one scenario in a child process, so that a library which ends the process ends that
// scenario's play only, and returns what was found. Without a temporary file to bring the
// findings back, it plays here.
PlayFindings playIsolated(const Scenario& scenario, const std::filesystem::path& plugin,
                          std::ostream& errors) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> channel(std::tmpfile(), &std::fclose);
    if (!channel) { // (Windows' C library makes it in the drive's root, which may be closed)
        return playChecked(scenario, plugin);
    }
    const ChildOutcome child = runInChildProcess(
        [&] {
            writeFindings(channel.get(), playChecked(scenario, plugin));
            return kExitSuccess;
        },
        errors, "kivhost: ");
    if (!child.workReturned) {
        return {endedProcessText(child), {}};
    }
    return readFindings(channel.get());
}

// The scenario's test suite of the report: a case for each expectation, none when it was not played.
JunitSuite suiteOf(const Scenario& scenario, PlayFindings findings) {
    JunitSuite suite{scenario.source, std::move(findings.error), {}};
    if (!suite.error.empty()) { // what was not played did not hold
        return suite;
    }
    for (std::size_t i = 0; i < scenario.expectations.size(); ++i) {
        const Expectation& expectation = scenario.expectations[i];
        const auto failure = findings.failures.find(i);
        suite.cases.push_back({placeText(expectation) + ": " + expectation.label,
                               failure == findings.failures.end() ? std::string() : failure->second});
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
        JunitSuite suite = suiteOf(scenario, playIsolated(scenario, *plugin, errors));
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
