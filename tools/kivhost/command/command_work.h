// How a kivhost command's work runs once its command line is parsed.
#pragma once

#include "kivhost/platform/child_process.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace kiv::kivhost {

// A path given on the command line; an empty text gives none, and the command's default applies.
std::optional<std::filesystem::path> givenPath(const std::string& text);

// Where a command's work runs: in a child process, so that a plugin that ends the process (as
// the shutdown-law library does on a core it refuses) is reported as a failure of the command, or
// in kivhost's own process (serve, which owns its signals and threads).
enum class PluginIsolation { ChildProcess, InProcess };

// "the plugin library ended the process (SIGABRT)": what is said of a child that did not finish
// its work.
std::string endedProcessText(const ChildOutcome& outcome);

// Runs `work` on the standard streams and returns the command's exit code: its HostErrors are
// reported (see reportingHostErrors), and output that could not be written fails it.
int runCommandWork(PluginIsolation isolation,
                   const std::function<int(std::ostream& out, std::ostream& errors)>& work);

} // namespace kiv::kivhost
