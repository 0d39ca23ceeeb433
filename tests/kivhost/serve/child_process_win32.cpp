#include "child_process.h"

#include <windows.h>

namespace kiv::test {

struct ChildProcess::Handles {
    HANDLE process = nullptr;
    HANDLE output = nullptr;
    DWORD id = 0;
};

namespace {

// The words as one command line, each quoted (the tests' words hold no quotes).
std::string commandLineOf(const std::vector<std::string>& words) {
    std::string line;
    for (const std::string& word : words) {
        line += (line.empty() ? "\"" : " \"") + word + "\"";
    }
    return line;
}

int exitCodeOf(HANDLE process) {
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return static_cast<int>(code);
}

} // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& words) : handles_(std::make_unique<Handles>()) {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&handles_->output, &writeEnd, &inheritable, 0)) {
        handles_->output = nullptr;
        return;
    }
    SetHandleInformation(handles_->output, HANDLE_FLAG_INHERIT, 0); // the test's end stays here
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = writeEnd;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    std::string commandLine = commandLineOf(words);
    PROCESS_INFORMATION started{};
    if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &started)) {
        CloseHandle(started.hThread);
        handles_->process = started.hProcess;
        handles_->id = started.dwProcessId;
    }
    CloseHandle(writeEnd); // the child's copy is the only one left: its end is the pipe's end
}

ChildProcess::~ChildProcess() {
    if (handles_->process) {
        TerminateProcess(handles_->process, 1);
        WaitForSingleObject(handles_->process, INFINITE);
        CloseHandle(handles_->process);
    }
    if (handles_->output) {
        CloseHandle(handles_->output);
    }
}

bool ChildProcess::started() const noexcept {
    return handles_->process != nullptr;
}

int ChildProcess::id() const noexcept {
    return static_cast<int>(handles_->id);
}

bool ChildProcess::read(char& c) {
    DWORD got = 0;
    return ReadFile(handles_->output, &c, 1, &got, nullptr) && got == 1;
}

std::optional<int> ChildProcess::stop(std::chrono::milliseconds wait) {
    TerminateProcess(handles_->process, 1);
    const bool ended =
        WaitForSingleObject(handles_->process, static_cast<DWORD>(wait.count())) == WAIT_OBJECT_0;
    const std::optional<int> code = ended ? std::optional<int>(exitCodeOf(handles_->process)) : std::nullopt;
    WaitForSingleObject(handles_->process, INFINITE);
    CloseHandle(handles_->process);
    handles_->process = nullptr;
    return code;
}

int ChildProcess::wait() {
    WaitForSingleObject(handles_->process, INFINITE);
    const int code = exitCodeOf(handles_->process);
    CloseHandle(handles_->process);
    handles_->process = nullptr;
    return code;
}

bool stopIsARequest() {
    return false;
}

} // namespace kiv::test
