#include "child_process.h"

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kiv::test {

struct ChildProcess::Handles {
    pid_t pid = -1;
    int output = -1;
};

namespace {

int exitCodeOf(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& words) : handles_(std::make_unique<Handles>()) {
    std::vector<std::string> copies = words;
    std::vector<char*> argv;
    for (std::string& word : copies) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    if (posix_spawn(&handles_->pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        handles_->pid = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    handles_->output = pipeEnds[0];
}

ChildProcess::~ChildProcess() {
    if (handles_->pid > 0) {
        kill(handles_->pid, SIGKILL);
        waitpid(handles_->pid, nullptr, 0);
    }
    if (handles_->output >= 0) {
        close(handles_->output);
    }
}

bool ChildProcess::started() const noexcept {
    return handles_->pid > 0;
}

int ChildProcess::id() const noexcept {
    return handles_->pid;
}

bool ChildProcess::read(char& c) {
    return ::read(handles_->output, &c, 1) == 1;
}

std::optional<int> ChildProcess::stop(std::chrono::milliseconds wait) {
    kill(handles_->pid, SIGTERM);
    const auto until = std::chrono::steady_clock::now() + wait;
    int status = 0;
    std::optional<int> ended;
    while (!ended && std::chrono::steady_clock::now() < until) {
        if (waitpid(handles_->pid, &status, WNOHANG) == handles_->pid) {
            ended = exitCodeOf(status);
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    if (!ended) {
        kill(handles_->pid, SIGKILL);
        waitpid(handles_->pid, &status, 0);
    }
    handles_->pid = -1;
    return ended;
}

int ChildProcess::wait() {
    int status = 0;
    waitpid(handles_->pid, &status, 0);
    handles_->pid = -1;
    return exitCodeOf(status);
}

bool stopIsARequest() {
    return true;
}

} // namespace kiv::test
