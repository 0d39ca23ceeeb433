#include "devtools_pipe.h"

#include "kivhost/core/json_text.h"
#include "serve_process.h"

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace kiv::test {
namespace {

std::string jsonString(const std::string& text) {
    Value value;
    value.setString(text);
    return kivhost::toJson(value);
}

std::vector<std::uint8_t> fromBase64(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        int digit;
        if (c >= 'A' && c <= 'Z') {
            digit = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            digit = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            digit = c - '0' + 52;
        } else if (c == '+') {
            digit = 62;
        } else if (c == '/') {
            digit = 63;
        } else {
            continue; // padding
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<std::uint8_t>(bits >> count));
        }
    }
    return bytes;
}

} // namespace

DevToolsPipe::DevToolsPipe()
    : profile_(std::filesystem::temp_directory_path() / ("kivhost-chromium-" + std::to_string(getpid()))) {
    int toBrowser[2];
    int fromBrowser[2];
    if (pipe(toBrowser) != 0 || pipe(fromBrowser) != 0) {
        return;
    }
    std::vector<std::string> words = {"/usr/bin/chromium",
                                      "--headless",
                                      "--no-sandbox", // tests run as root, where the sandbox refuses to start
                                      "--disable-gpu",
                                      "--no-first-run",
                                      "--remote-debugging-pipe",
                                      "--window-size=1280,900",
                                      "--user-data-dir=" + profile_.string(),
                                      "about:blank"};
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, toBrowser[0], 3);
    posix_spawn_file_actions_adddup2(&actions, fromBrowser[1], 4);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(toBrowser[0]);
    close(fromBrowser[1]);
    commands_ = toBrowser[1];
    answers_ = fromBrowser[0];
}

DevToolsPipe::~DevToolsPipe() {
    if (pid_ > 0) {
        call("Browser.close", "{}", false);
        close(commands_);
        close(answers_);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::remove_all(profile_, ignored);
}

Value DevToolsPipe::call(const std::string& method, const std::string& params, bool toPage) {
    const int id = nextId_++;
    std::string message =
        "{\"id\":" + std::to_string(id) + ",\"method\":" + jsonString(method) + ",\"params\":" + params;
    if (toPage && !sessionId_.empty()) {
        message += ",\"sessionId\":" + jsonString(sessionId_);
    }
    message += "}";
    message.push_back('\0');
    if (write(commands_, message.data(), message.size()) != static_cast<ssize_t>(message.size())) {
        return {};
    }
    // Answers and events come in one stream; events are skipped.
    for (;;) {
        std::size_t end;
        while ((end = pending_.find('\0')) == std::string::npos) {
            char buffer[65536];
            const ssize_t got = read(answers_, buffer, sizeof buffer);
            if (got <= 0) {
                return {};
            }
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
        const std::string text = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        Value answer = parsed(text);
        if (answer["id"].getUnsigned(0) == static_cast<std::uint64_t>(id)) {
            return Value(answer["result"]);
        }
    }
}

bool DevToolsPipe::open(const std::string& address) {
    const Value target = call("Target.createTarget", "{\"url\":" + jsonString(address) + "}", false);
    const std::string targetId(target["targetId"].getString(""));
    const Value session =
        call("Target.attachToTarget", "{\"targetId\":" + jsonString(targetId) + ",\"flatten\":true}", false);
    sessionId_ = session["sessionId"].getString("");
    return !sessionId_.empty();
}

std::string DevToolsPipe::evaluate(const std::string& expression) {
    const Value answer =
        call("Runtime.evaluate", "{\"expression\":" + jsonString(expression) + ",\"returnByValue\":true}");
    const Value* value = answer["result"].find("value");
    return value ? kivhost::toJson(*value) : std::string();
}

bool DevToolsPipe::waitFor(const std::string& expression, const std::string& expected) {
    // The bound only stops a hang: a loaded machine may take long to lay a page out.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (evaluate(expression) != expected) {
        if (std::chrono::steady_clock::now() > giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

bool DevToolsPipe::resize(int width, int height) {
    const Value result =
        call("Emulation.setDeviceMetricsOverride", "{\"width\":" + std::to_string(width) +
                                                       ",\"height\":" + std::to_string(height) +
                                                       ",\"deviceScaleFactor\":1,\"mobile\":false}");
    return result.kind() == ValueKind::Structure;
}

std::vector<std::uint8_t> DevToolsPipe::screenshot() {
    const Value answer = call("Page.captureScreenshot", "{\"format\":\"png\"}");
    return fromBase64(answer["data"].getString(""));
}

} // namespace kiv::test
