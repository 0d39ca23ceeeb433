// kivhost as a process among others: a reader that closes its output early, a library that ends
// the process in the middle of the work, a parent ended by a signal, and plugin libraries that
// cannot be taken.
#include "command_fixture.h"

#include "kivhost/platform/child_process.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <thread>
#include <unistd.h>

namespace kiv::test {
namespace process_test {

// Runs `arguments` under a shell whose standard output is a pipe nobody reads any more, with
// SIGPIPE at its default as a shell leaves it; returns the exit status.
int runWithClosedOutput(const std::string& command) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    close(ends[0]);
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        dup2(ends[1], STDOUT_FILENO);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ends[1]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Starts kivhost with these arguments and its signals at their defaults, output to /dev/null.
pid_t startKivhost(const std::vector<std::string>& arguments) {
    const pid_t child = fork();
    if (child == 0) {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::vector<char*> argv{const_cast<char*>(KIVHOST_BINARY)};
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        execv(KIVHOST_BINARY, argv.data());
        _exit(127);
    }
    return child;
}

// The state letter of a process in /proc ('R', 'S', 'Z', ...), nullopt when it is gone.
std::optional<char> processState(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
        return std::nullopt;
    }
    return line[line.rfind(')') + 2];
}

// The first process whose parent is `parent`, looked for until `tries` run out.
std::optional<pid_t> childOf(pid_t parent) {
    for (int tries = 0; tries < 3000; ++tries) {
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            std::ifstream stat(entry.path() / "stat");
            std::string line;
            std::getline(stat, line);
            const std::size_t close = line.rfind(')');
            if (close != std::string::npos && std::atoi(line.c_str() + close + 4) == parent) {
                return std::atoi(name.c_str());
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

// Whether the process has ended (gone, or a zombie waiting for init), waited for a while.
bool ends(pid_t pid) {
    for (int tries = 0; tries < 3000; ++tries) {
        const std::optional<char> state = processState(pid);
        if (!state || *state == 'Z' || *state == 'X') {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

using ProcessTest = CommandTest;

// A reader that stops reading is no failure of the plugin's: the command ends quietly, with the
// same status every time, at the first write it cannot make (not hours later on the real clock).
TEST_F(ProcessTest, AClosedOutputEndsTheCommandQuietly) {
    const std::filesystem::path errors = folder_ / "errors.txt";
    const std::filesystem::path hours = write("hours.yaml", "until: 600\nsteps: [{at: 600, get: /a}]\n");
    const std::string fake = " --plugin " + quoted(fakePluginLibrary());
    for (const std::string& arguments : std::vector<std::string>{
             "run", "run --json", "describe", "run " + quoted(hours.string()) + " --real-clock" + fake,
             "test " + quoted(std::string(KIV_SOURCE_DIR) + "/scenarios")}) {
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(runWithClosedOutput(quoted(KIVHOST_BINARY) + " " + arguments + " 2>" +
                                          quoted(errors.string())),
                      0)
                << arguments;
            EXPECT_EQ(readAll(errors), "") << arguments;
        }
    }
}

// A library that exits on its own, whatever its status, ends the work unfinished: kivhost says so
// and fails.
TEST_F(ProcessTest, ALibraryThatExitsFailsTheCommand) {
    for (const int status : {0, 3}) {
        const std::filesystem::path scenario =
            write("exit.yaml", "steps: [{at: 1, get: /fake/v1/act/exit:" + std::to_string(status) + "}]\n");
        const CommandResult result =
            kivhost("run " + quoted(scenario.string()) + " --plugin " + quoted(fakePluginLibrary()));
        EXPECT_EQ(result.exitCode, 1) << status;
        EXPECT_EQ(result.errors, "kivhost: the plugin library ended the process (exit status " +
                                     std::to_string(status) + "); the lines above are what it wrote\n");
    }
}

// The child that holds the plugin ends with kivhost, whatever ends kivhost.
TEST_F(ProcessTest, TheChildEndsWithItsParent) {
    const std::filesystem::path hours = write("hours.yaml", "until: 600\nsteps: [{at: 600, get: /a}]\n");
    for (const int signal : {SIGTERM, SIGINT, SIGKILL}) {
        const pid_t parent =
            startKivhost({"run", hours.string(), "--real-clock", "--plugin", fakePluginLibrary()});
        const std::optional<pid_t> child = childOf(parent);
        ASSERT_TRUE(child.has_value()) << kivhost::signalName(signal);
        kill(parent, signal);
        int status = 0;
        waitpid(parent, &status, 0);
        EXPECT_TRUE(ends(*child)) << "the child lives on after " << kivhost::signalName(signal);
    }
}

// An empty --plugin names no library; a library of the other word size is refused with a word on
// what this kivhost loads.
TEST_F(ProcessTest, PluginsThatCannotBeTakenAreRefusedClearly) {
    const CommandResult empty = kivhost("run --plugin ''");
    EXPECT_EQ(empty.exitCode, 2);
    EXPECT_TRUE(empty.errors.starts_with("kivhost: --plugin: must name a library file\n")) << empty.errors;

    const bool thirtyTwo = sizeof(void*) == 4;
    const std::string other = thirtyTwo ? "/lib/x86_64-linux-gnu/libm.so.6" : "/lib/i386-linux-gnu/libm.so.6";
    if (!std::filesystem::exists(other)) {
        GTEST_SKIP() << "no library of the other word size at " << other;
    }
    const CommandResult wrongClass = kivhost("describe --plugin " + other);
    EXPECT_EQ(wrongClass.exitCode, 1);
    EXPECT_NE(wrongClass.errors.find(thirtyTwo ? "this kivhost loads 32-bit libraries"
                                               : "this kivhost loads 64-bit libraries"),
              std::string::npos)
        << wrongClass.errors;
}

} // namespace process_test
} // namespace kiv::test
