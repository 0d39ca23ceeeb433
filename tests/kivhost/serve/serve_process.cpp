#include "serve_process.h"

#include <csignal>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kiv::test {

ServeProcess::ServeProcess(const std::vector<std::string>& arguments, int port) {
    std::vector<std::string> words = {KIVHOST_BINARY, "serve", "--port", std::to_string(port)};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        ADD_FAILURE() << "no pipe for kivhost serve";
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    output_ = pipeEnds[0];
    if (spawned != 0) {
        pid_ = -1;
        ADD_FAILURE() << "kivhost serve did not start";
        return;
    }
    const std::string line = readLine();
    address_ = line;
    const std::string prefix = "http://127.0.0.1:";
    if (line.rfind(prefix, 0) != 0 || line.back() != '/') {
        ADD_FAILURE() << "kivhost serve printed '" << line << "' first";
        return;
    }
    port_ = std::stoi(line.substr(prefix.size()));
}

ServeProcess::~ServeProcess() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "kivhost serve ended with status " << status;
    }
    if (output_ >= 0) {
        close(output_);
    }
}

// Byte by byte, so that nothing after the line is taken.
std::string ServeProcess::readLine() {
    char c = 0;
    std::string line;
    while (read(output_, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    return line;
}

std::optional<int> ServeProcess::stop(std::chrono::milliseconds wait) {
    kill(pid_, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + wait;
    int status = 0;
    std::optional<int> ended;
    while (!ended && std::chrono::steady_clock::now() < until) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            ended = status;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!ended) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    return ended;
}

ScenarioFile::ScenarioFile(const std::string& name, const std::string& text)
    : path_(std::filesystem::temp_directory_path() /
            ("kivhost-serve-" + std::to_string(getpid()) + "-" + name)) {
    std::ofstream(path_) << text;
}

ScenarioFile::~ScenarioFile() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
}

} // namespace kiv::test
