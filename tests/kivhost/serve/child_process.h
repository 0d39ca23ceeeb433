// A program a test starts, with its standard output on a pipe to the test: a POSIX process, or a
// Windows one (under wine), behind one class.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kiv::test {

class ChildProcess {
  public:
    // words[0] is the program's path; check started().
    explicit ChildProcess(const std::vector<std::string>& words);
    // Ends the program when it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const noexcept;
    // The operating system's id of the process.
    int id() const noexcept;
    // The next byte of its output; false at the end of it.
    bool read(char& c);
    // Asks the program to stop (see stopIsARequest) and waits up to `wait` for its exit code; nullopt
    // when it is still running, and it is then ended. A POSIX program that a signal ended exits
    // with 128 plus the signal's number.
    std::optional<int> stop(std::chrono::milliseconds wait);
    // Waits for the program to end by itself; its exit code.
    int wait();

  private:
    struct Handles; // the platform's
    std::unique_ptr<Handles> handles_;
};

// Whether stop() asks the program to stop, as a user would (SIGTERM on POSIX), rather than ending
// it outright: Windows has no such request for a program without a console of its own.
bool stopIsARequest();

// The next line of a child's output, without its line break; byte by byte, so that nothing after
// the line is taken.
inline std::string readLine(ChildProcess& child) {
    std::string line;
    for (char c = 0; child.read(c) && c != '\n';) {
        line += c;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back(); // a Windows program's line end
    }
    return line;
}

// What a program writes on its standard output, all of it once it has ended.
inline std::string outputOf(const std::vector<std::string>& words) {
    ChildProcess child(words);
    std::string output;
    for (char c = 0; child.read(c);) {
        output += c;
    }
    child.wait();
    return output;
}

} // namespace kiv::test
