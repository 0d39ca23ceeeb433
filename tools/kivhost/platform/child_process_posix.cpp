#include "kivhost/platform/child_process.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <iostream>
#include <sys/wait.h>
#include <unistd.h>

namespace kiv::kivhost {
namespace {

// Copies the child's error stream line by line until the child closes it.
void forwardLines(int from, std::ostream& errors, const std::string& linePrefix) {
    std::string line;
    const auto emit = [&] {
        if (!line.empty()) { // a blank line would be one prefix alone
            errors << (line.starts_with(linePrefix) ? "" : linePrefix) << line << '\n';
        }
        line.clear();
    };
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(from, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                emit();
            } else {
                line += buffer[i];
            }
        }
    }
    emit();
    errors.flush();
}

} // namespace

ChildOutcome runInChildProcess(const std::function<int()>& work, std::ostream& errors,
                               const std::string& linePrefix) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return {work(), 0};
    }
    // What the parent buffered must not be written twice, once by each process.
    std::cout.flush();
    std::fflush(stdout);
    errors.flush();
    const pid_t child = fork();
    if (child < 0) {
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return {work(), 0};
    }
    if (child == 0) {
        close(pipeEnds[0]);
        dup2(pipeEnds[1], STDERR_FILENO);
        close(pipeEnds[1]);
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
        std::cerr.flush();
        std::_Exit(exitCode);
    }
    close(pipeEnds[1]);
    forwardLines(pipeEnds[0], errors, linePrefix);
    close(pipeEnds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFSIGNALED(status)) {
        return {0, WTERMSIG(status)};
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 1, 0};
}

std::string signalName(int signal) {
    const char* abbreviation = sigabbrev_np(signal);
    return abbreviation ? std::string("SIG") + abbreviation : "signal " + std::to_string(signal);
}

} // namespace kiv::kivhost
