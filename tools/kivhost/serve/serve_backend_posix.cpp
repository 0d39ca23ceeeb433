// The plugin in a child process of the server (see serve_backend.h). The server starts kivhost
// again with its own command line, marked in the environment as its plugin's process: a fresh
// process, which a server with many threads could not make by forking alone. The child builds
// the world on the scenario and answers the requests the server hands it one at a time, sending
// the feed's entries as they happen; the server keeps the feed, so that what the streams and the
// dashboard showed outlives a child that dies. What the child writes to its standard error
// reaches the server's, and its last lines make the report of a child that died.
#include "kivhost/serve/serve_backend.h"

#include "kivhost/core/happening.h"
#include "kivhost/platform/child_process.h"
#include "kivhost/platform/descriptor_lines.h"
#include "kivhost/serve/child_frames.h"

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace kiv::kivhost {
namespace {

// The lines of the child's standard error a report of its end quotes.
constexpr std::size_t kReportLines = 12;
// How long a child that is asked to stop may take before it is ended.
constexpr std::chrono::seconds kStopTime{3};

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe openPipe() {
    int ends[2];
    if (pipe(ends) != 0) {
        throw HostError("cannot start the plugin's process: no pipe to be had");
    }
    return {ends[0], ends[1]};
}

// The environment variable that marks kivhost as a server's plugin process, and the descriptors
// it reads the requests from and writes its frames to.
constexpr const char* kPluginProcessMark = "KIVHOST_SERVE_PLUGIN_PROCESS=1";
constexpr int kRequestsDescriptor = 3;
constexpr int kFramesDescriptor = 4;

// What the server runs its plugin's process as: this program with this process's command line,
// the mark added to the environment. Made before any fork, since a forked child of a process
// with threads may only make system calls until it runs the program.
struct ChildCommand {
    std::string program;
    std::vector<std::string> words;
    std::vector<std::string> environment;
    std::vector<char*> argv;
    std::vector<char*> envp;
};

std::unique_ptr<ChildCommand> childCommand() {
    auto command = std::make_unique<ChildCommand>();
    char program[4096];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0) {
        throw HostError("cannot start the plugin's process: this program's file is not known");
    }
    command->program.assign(program, static_cast<std::size_t>(length));
    std::ifstream line("/proc/self/cmdline", std::ios::binary);
    for (std::string word; std::getline(line, word, '\0');) {
        command->words.push_back(word);
    }
    for (char** variable = environ; *variable; ++variable) {
        command->environment.emplace_back(*variable);
    }
    command->environment.emplace_back(kPluginProcessMark);
    for (std::string& word : command->words) {
        command->argv.push_back(word.data());
    }
    command->argv.push_back(nullptr);
    for (std::string& variable : command->environment) {
        command->envp.push_back(variable.data());
    }
    command->envp.push_back(nullptr);
    return command;
}

// The world, and requests answered until the server closes its end.
int runPluginProcess(const Scenario& scenario, ServeSetup setup) {
    // Ctrl-C reaches the whole process group; the server ends the child when it stops.
    std::signal(SIGINT, SIG_IGN);
    FrameWriter out(kFramesDescriptor);
    setup.forward.entry = [&out](const FeedEntry& entry) { out.write(FrameType::Entry, encodeEntry(entry)); };
    setup.forward.restart = [&out](const std::string& instance) { out.write(FrameType::Restart, instance); };
    try {
        ServeWorld world(scenario, setup);
        out.write(FrameType::Started, world.initialized() ? "1" : "0");
        FrameType type{};
        std::string payload;
        while (readFrame(kRequestsDescriptor, type, payload)) {
            const std::optional<ServeRequest> request = decodeRequest(payload);
            const ServeAnswer answer = request
                                           ? answerCaught(world, *request)
                                           : errorAnswer(500, "A request did not reach the plugin whole.");
            if (!out.write(FrameType::Answer, encodeAnswer(answer, world.nowMs()))) {
                break;
            }
        }
    } catch (const std::exception& error) {
        out.write(FrameType::Started, std::string("!") + error.what());
        return 1;
    }
    return 0;
}

class PluginChild : public ServeBackend {
  public:
    PluginChild() : command_(childCommand()) {
        // A child that died leaves a pipe without reader; writing to it must fail, not end the server.
        std::signal(SIGPIPE, SIG_IGN);
        std::unique_lock lock(mutex_);
        start(lock);
        if (!startFailure_.empty()) {
            throw HostError(startFailure_);
        }
    }

    ~PluginChild() override {
        std::unique_lock lock(mutex_);
        stopChild(lock);
    }

    bool initialized() const override {
        std::lock_guard lock(mutex_);
        return initialized_;
    }

    ServeAnswer answer(const ServeRequest& request) override {
        std::unique_lock lock(mutex_);
        // One request at a time: the child answers them in order.
        turn_.wait(lock, [this] { return !busy_; });
        busy_ = true;
        ServeAnswer answer = answerLocked(request, lock);
        busy_ = false;
        turn_.notify_one();
        return answer;
    }

    std::int64_t nowMs() const override {
        std::lock_guard lock(mutex_);
        return nowMs_;
    }

    EventFeed& feed() override { return feed_; }

  private:
    ServeAnswer answerLocked(const ServeRequest& request, std::unique_lock<std::mutex>& lock) {
        if (!running_) {
            if (request.method == "POST" && request.path == "/kivhost/reset") {
                stopChild(lock);
                start(lock);
            } else if (std::optional<ServeAnswer> page = answerWithoutWorld(request)) {
                return *page;
            }
        }
        if (!running_) {
            return errorAnswer(502, report_ + " POST /kivhost/reset starts it again.");
        }
        answer_.reset();
        const int requests = requests_;
        lock.unlock();
        const bool sent = FrameWriter(requests).write(FrameType::Request, encodeRequest(request));
        lock.lock();
        answered_.wait(lock, [this, sent] { return answer_.has_value() || !running_ || !sent; });
        if (answer_) {
            return std::move(*answer_);
        }
        return errorAnswer(502, report_ + " POST /kivhost/reset starts it again.");
    }

    // Forks a child on the server's scenario and waits for it to say whether it started.
    void start(std::unique_lock<std::mutex>& lock) {
        const Pipe requests = openPipe();
        const Pipe frames = openPipe();
        const Pipe errors = openPipe();
        const pid_t child = fork();
        if (child == 0) {
            // Only system calls from here to the program: the descriptors the child keeps, at the
            // numbers it reads them from, and no other (the server's sockets among them).
            const int requestsEnd = fcntl(requests.read, F_DUPFD, 10);
            const int framesEnd = fcntl(frames.write, F_DUPFD, 10);
            dup2(errors.write, STDERR_FILENO);
            dup2(requestsEnd, kRequestsDescriptor);
            dup2(framesEnd, kFramesDescriptor);
            close_range(kFramesDescriptor + 1, ~0U, 0);
            execve(command_->program.c_str(), command_->argv.data(), command_->envp.data());
            _exit(127);
        }
        for (const int end : {requests.read, frames.write, errors.write}) {
            close(end);
        }
        if (child < 0) {
            for (const int end : {requests.write, frames.read, errors.read}) {
                close(end);
            }
            throw HostError("cannot start the plugin's process: fork failed");
        }
        pid_ = child;
        requests_ = requests.write;
        running_ = true;
        started_ = false;
        startFailure_.clear();
        lastLines_.clear();
        frameReader_ = std::thread([this, from = frames.read] { readFrames(from); });
        errorReader_ = std::thread([this, from = errors.read] { readErrors(from); });
        answered_.wait(lock, [this] { return started_ || !running_; });
        if (!started_ && startFailure_.empty()) {
            startFailure_ = report_;
        }
    }

    // Ends the child: its request pipe closed, then SIGTERM and SIGKILL if it does not end.
    void stopChild(std::unique_lock<std::mutex>& lock) {
        if (pid_ <= 0) {
            return;
        }
        close(requests_);
        requests_ = -1;
        running_ = false; // its end from now on is the one asked for
        const pid_t child = pid_;
        lock.unlock();
        const auto until = std::chrono::steady_clock::now() + kStopTime;
        int status = 0;
        while (waitpid(child, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(child, SIGKILL);
                waitpid(child, &status, 0);
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        frameReader_.join();
        errorReader_.join();
        lock.lock();
        pid_ = 0;
    }

    void readFrames(int from) {
        FrameType type{};
        std::string payload;
        while (readFrame(from, type, payload)) {
            switch (type) {
            case FrameType::Entry:
                if (std::optional<FeedEntry> entry = decodeEntry(payload)) {
                    feed_.addEntry(std::move(*entry));
                }
                break;
            case FrameType::Restart:
                feed_.restart(payload);
                break;
            case FrameType::Started:
            case FrameType::Answer:
            case FrameType::Request:
                delivered(type, payload);
                break;
            }
        }
        close(from);
        ended();
    }

    void delivered(FrameType type, const std::string& payload) {
        std::lock_guard lock(mutex_);
        if (type == FrameType::Started) {
            started_ = payload.starts_with("0") || payload.starts_with("1");
            initialized_ = payload == "1";
            if (payload.starts_with("!")) {
                startFailure_ = payload.substr(1);
            }
        } else if (type == FrameType::Answer) {
            std::int64_t now = nowMs_;
            std::optional<ServeAnswer> answer = decodeAnswer(payload, now);
            answer_ = answer
                          ? std::move(*answer)
                          : errorAnswer(502, "The plugin's process sent an answer that could not be read.");
            nowMs_ = now;
        }
        answered_.notify_all();
    }

    // The child's pipe closed: it ended. Its end is reported, and shown in the feed.
    void ended() {
        int status = 0;
        pid_t child;
        {
            std::lock_guard lock(mutex_);
            child = pid_;
        }
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        std::lock_guard lock(mutex_);
        if (!running_ || pid_ != child) {
            return;
        }
        std::string report = WIFSIGNALED(status)
                                 ? "The plugin's process ended with " + signalName(WTERMSIG(status)) + "."
                                 : "The plugin's process exited with status " +
                                       std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : 1) + ".";
        if (!lastLines_.empty()) {
            report += " It wrote:";
            for (const std::string& line : lastLines_) {
                report += "\n" + line;
            }
        }
        report_ = report;
        running_ = false;
        answered_.notify_all();
        Happening fault{nowMs_, {}, HostFault{report}};
        feed_.add(fault);
        std::cerr << "kivhost: " << report << std::endl;
    }

    // Passes the child's standard error on, keeping its last lines for a report.
    void readErrors(int from) {
        forEachLine(from, [this](std::string& line) {
            std::cerr << line << std::endl;
            std::lock_guard lock(mutex_);
            lastLines_.push_back(std::move(line));
            if (lastLines_.size() > kReportLines) {
                lastLines_.pop_front();
            }
        });
        close(from);
    }

    const std::unique_ptr<ChildCommand> command_;
    EventFeed feed_;

    mutable std::mutex mutex_;
    std::condition_variable answered_; // an answer, the start or the child's end came
    std::condition_variable turn_;     // the request under way was answered
    bool busy_ = false;
    pid_t pid_ = 0;
    int requests_ = -1;
    bool running_ = false;
    bool started_ = false;
    bool initialized_ = false;
    std::string startFailure_;
    std::string report_;
    std::optional<ServeAnswer> answer_;
    std::int64_t nowMs_ = 0;
    std::deque<std::string> lastLines_;
    std::thread frameReader_;
    std::thread errorReader_;
};

} // namespace

std::unique_ptr<ServeBackend> startServeBackend(const Scenario&, const ServeSetup&) {
    // The child reads the scenario and the plugin from the same command line.
    return std::make_unique<PluginChild>();
}

std::optional<int> serveAsPluginProcess(const Scenario& scenario, const ServeSetup& setup) {
    const char* mark = std::getenv("KIVHOST_SERVE_PLUGIN_PROCESS");
    if (!mark || std::string_view(mark) != "1") {
        return std::nullopt;
    }
    return runPluginProcess(scenario, setup);
}

} // namespace kiv::kivhost
