#include "kivhost/command/command_failure.h"

#include "kivhost/core/host_error.h"
#include "kivhost/platform/child_process.h"
#include "kivhost/platform/closed_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <new>
#include <system_error>

namespace kiv::kivhost {

namespace {

int firstOutputError = 0; // errno of the first failed write to the output, 0 while none failed

// A reader that closed the output wants no more of it (`kivhost run | head -1`): that is no
// failure, and nothing is said about it.
bool readerClosedTheOutput(int error) {
    return error == EPIPE || standardOutputReaderGone();
}

} // namespace

void reportError(std::ostream& errors, std::string_view message) {
    errors << "kivhost: " << message << '\n';
}

void noteOutputState() {
    // The C stream notices a failed write first: it may still take the text into its buffer.
    if ((!std::cout || std::ferror(stdout)) && firstOutputError == 0) {
        firstOutputError = errno != 0 ? errno : EIO;
        if (readerClosedTheOutput(firstOutputError)) {
            finishProcess(kExitSuccess);
        }
    }
}

// Output that did not reach its file fails the command, however well the work went: a script must
// not take a cut-off timeline for a whole one.
int checkedOutput(int exitCode, std::ostream& errors) {
    errno = 0;
    std::cout.flush();
    noteOutputState();
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    if (std::cout && flushed) {
        return exitCode;
    }
    const int error = firstOutputError != 0 ? firstOutputError : errno;
    if (readerClosedTheOutput(error)) {
        return exitCode;
    }
    reportError(errors, std::string("cannot write the output: ") +
                            (error != 0 ? std::strerror(error) : "write error"));
    return kExitFailure;
}

int reportingHostErrors(std::ostream& out, std::ostream& errors, const std::function<int()>& work) {
    try {
        return work();
    } catch (const HostError& error) {
        out.flush();
        reportError(errors, error.what());
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        out.flush();
        reportError(errors, "out of memory");
        return kExitFailure;
    } catch (const std::system_error& error) {
        // A thread or a pipe the system would not give.
        out.flush();
        reportError(errors, "the system refused what kivhost asked of it: " + error.code().message());
        return kExitFailure;
    }
}

} // namespace kiv::kivhost
