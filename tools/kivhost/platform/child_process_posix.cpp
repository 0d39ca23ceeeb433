#include "kivhost/platform/child_process.h"

#include "kivhost/platform/descriptor_lines.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <iostream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kiv::kivhost {
namespace {

// In the child of runInChildProcess: where it tells its parent that the work returned.
int finishedWorkPipe = -1;

// Ties the child's life to the parent's: a parent ended by any signal, SIGKILL included, takes
// the child with it instead of leaving it to play on for hours.
void endWithParent(pid_t parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) { // the parent ended before the tie was made
        std::_Exit(1);
    }
}

// Copies the child's error stream line by line until the child closes it.
void forwardLines(int from, std::ostream& errors, const std::string& linePrefix) {
    forEachLine(from, [&](const std::string& line) {
        if (!line.empty()) { // a blank line would be one prefix alone
            errors << (line.starts_with(linePrefix) ? "" : linePrefix) << line << '\n';
        }
    });
    errors.flush();
}

} // namespace

ChildOutcome runInChildProcess(const std::function<int()>& work, std::ostream& errors,
                               const std::string& linePrefix) {
    int errorEnds[2];
    int finishedEnds[2];
    if (pipe2(errorEnds, O_CLOEXEC) != 0) {
        return {work(), 0};
    }
    if (pipe2(finishedEnds, O_CLOEXEC) != 0) {
        close(errorEnds[0]);
        close(errorEnds[1]);
        return {work(), 0};
    }
    // What the parent buffered must not be written twice, once by each process.
    std::cout.flush();
    std::fflush(stdout);
    errors.flush();
    const pid_t parent = getpid();
    const pid_t child = fork();
    if (child < 0) {
        for (const int end : {errorEnds[0], errorEnds[1], finishedEnds[0], finishedEnds[1]}) {
            close(end);
        }
        return {work(), 0};
    }
    if (child == 0) {
        endWithParent(parent);
        close(errorEnds[0]);
        close(finishedEnds[0]);
        dup2(errorEnds[1], STDERR_FILENO);
        close(errorEnds[1]);
        finishedWorkPipe = finishedEnds[1];
        // The child never returns into its caller's code, which belongs to the parent's run.
        int exitCode = 1;
        try {
            exitCode = work();
        } catch (const std::exception& error) {
            std::cerr << linePrefix << error.what() << '\n';
        } catch (...) {
            std::cerr << linePrefix << "the work ended with an unknown exception\n";
        }
        std::cout.flush();
        std::fflush(stdout);
        finishProcess(exitCode);
    }
    close(errorEnds[1]);
    close(finishedEnds[1]);
    forwardLines(errorEnds[0], errors, linePrefix);
    close(errorEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The child wrote one byte there as it finished; a child that ended any other way wrote none.
    char finished = 0;
    ssize_t got = 0;
    while ((got = read(finishedEnds[0], &finished, 1)) < 0 && errno == EINTR) {
    }
    close(finishedEnds[0]);
    if (WIFSIGNALED(status)) {
        return {0, WTERMSIG(status), false, 0};
    }
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    if (got != 1) {
        return {0, 0, false, exitStatus};
    }
    return {exitStatus, 0};
}

void finishProcess(int exitCode) {
    std::cerr.flush();
    if (finishedWorkPipe >= 0) {
        const char finished = 1;
        while (write(finishedWorkPipe, &finished, 1) < 0 && errno == EINTR) {
        }
    }
    std::_Exit(exitCode);
}

std::string signalName(int signal) {
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

} // namespace kiv::kivhost
