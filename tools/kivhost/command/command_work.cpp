#include "kivhost/command/command_work.h"

#include "kivhost/command/command_failure.h"

#include <iostream>

namespace kiv::kivhost {

std::optional<std::filesystem::path> givenPath(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

std::string endedProcessText(const ChildOutcome& outcome) {
    return "the plugin library ended the process (" +
           (outcome.signal != 0 ? signalName(outcome.signal)
                                : "exit status " + std::to_string(outcome.unfinishedStatus)) +
           ")";
}

int runCommandWork(PluginIsolation isolation,
                   const std::function<int(std::ostream& out, std::ostream& errors)>& work) {
    const auto attempt = [&] {
        return checkedOutput(
            reportingHostErrors(std::cout, std::cerr, [&] { return work(std::cout, std::cerr); }), std::cerr);
    };
    if (isolation == PluginIsolation::InProcess) {
        return attempt();
    }
    const ChildOutcome outcome = runInChildProcess(attempt, std::cerr, "kivhost: ");
    if (!outcome.workReturned) {
        reportError(std::cerr, endedProcessText(outcome) + "; the lines above are what it wrote");
        return kExitFailure;
    }
    return outcome.exitCode;
}

} // namespace kiv::kivhost
