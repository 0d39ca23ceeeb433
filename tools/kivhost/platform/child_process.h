// Work done in a child process of its own, so that a plugin library which ends the process (an
// assertion report followed by abort, a crash, a call of exit) ends the child only, and the
// command can still say what happened and exit with its own code.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace kiv::kivhost {

struct ChildOutcome {
    int exitCode = 0;         // what the work returned, when it returned
    int signal = 0;           // the signal that ended the child instead; 0 when none did
    bool workReturned = true; // false when the child ended before its work did
    int unfinishedStatus = 0; // the exit status of a child that ended early without a signal
};

// Runs `work` in a child process that shares the standard output. What the child writes to the
// standard error comes to `errors` line by line, each line that does not begin with
// `linePrefix` given it. The child ends with this process, whatever ends it (on Linux, with the
// thread that calls this: call it from one that lives as long as the work). Where processes
// cannot be forked (Windows) the work runs in this process, unprotected.
ChildOutcome runInChildProcess(const std::function<int()>& work, std::ostream& errors,
                               const std::string& linePrefix);

// Ends this process at once with `exitCode`, as work that is done: in the child of
// runInChildProcess the parent takes it for what the work returned.
[[noreturn]] void finishProcess(int exitCode);

// The name of a signal for messages: "SIGABRT".
std::string signalName(int signal);

} // namespace kiv::kivhost
