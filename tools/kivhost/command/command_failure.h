// How a kivhost command reports that it could not do its work: a line on the error stream,
// prefixed with the program's name, and its exit code.
#pragma once

#include <functional>
#include <ostream>
#include <string_view>

namespace kiv::kivhost {

// The exit codes of every command.
inline constexpr int kExitSuccess = 0;
// A failure the run found: a refused scenario, a library that cannot load.
inline constexpr int kExitFailure = 1;
// A command line that cannot be taken.
inline constexpr int kExitUsage = 2;

// Writes "kivhost: <message>" as a line.
void reportError(std::ostream& errors, std::string_view message);

// Called after each write to the standard output: remembers why the first write that failed did
// fail, while errno still says so, for the message that fails the command at its end. A reader
// that closed the output ends the process there, quietly, with status 0: it wanted no more.
void noteOutputState();
// Fails a command whose output could not all be written (exit code 1, with the reason); returns
// `exitCode` otherwise, also when the output's reader has closed it. Flushes the standard output first.
int checkedOutput(int exitCode, std::ostream& errors);

// Runs a command's work and returns its exit code. A plugin that cannot be loaded or driven
// (HostError) fails the command with the error's message, after what the work wrote to `out` so
// far is flushed, so that the message follows the output it interrupts. Running out of memory, or
// a thread or pipe the system refuses, fails it the same way with a message of its own.
int reportingHostErrors(std::ostream& out, std::ostream& errors, const std::function<int()>& work);

} // namespace kiv::kivhost
