// The process-wide logger: filters records by level and group, stamps them with the local time and
// hands them to every attached target. Created on first use, destroyed when the last user that
// acquired it releases it.
#pragma once

#include "logging/debugger_console_log_target.h"
#include "logging/log_groups.h"
#include "logging/log_level.h"
#include "logging/log_target_interface.h"
#include "logging/log_target_list.h"
#include "logging/std_err_log_target.h"
#include "logging/std_out_log_target.h"
#include "platform/recursive_lock.h"

#include <cstdarg>
#include <cstdint>

namespace kiv {

class LogService {
  public:
    LogService(const LogService&) = delete;
    LogService& operator=(const LogService&) = delete;

    // The lock that guards the service, its existence included, and the target list: the
    // process's logging lock, which lives as long as the process.
    static platform::RecursiveLock& lock() noexcept { return LogTargetList::lock(); }

    // The service, or null when none exists. The caller holds lock().
    [[nodiscard]] static LogService* current() noexcept;
    // The service, created on first use; null only when it could not be created. The caller
    // holds lock().
    [[nodiscard]] static LogService* currentOrCreate() noexcept;

    // Counted users: the first acquire creates the service if needed; the release that brings the
    // count to 0 detaches every listed target, last first, and destroys the service. A release without a
    // matching acquire is ignored.
    static void acquire() noexcept;
    static void release() noexcept;

    // Filters, formats (cut to 4095 characters) and dispatches one message; creates the service on
    // first use without counting it as a user. Takes the lock only around filtering and dispatch.
    static void log(LogLevel level, std::uint64_t groups, const char* format, va_list arguments) noexcept;

    // Settings and targets; the caller holds lock().
    void setMinimumLevel(LogLevel level) noexcept { minimumLevel_ = level; }
    LogLevel minimumLevel() const noexcept { return minimumLevel_; }
    void setMutedGroups(std::uint64_t groups) noexcept { mutedGroups_ = groups; }
    std::uint64_t mutedGroups() const noexcept { return mutedGroups_; }
    void setPaused(bool paused) noexcept { paused_ = paused; }
    bool paused() const noexcept { return paused_; }
    // A switch kept for the service's users; nothing in this library reads it.
    void setSecondSwitch(bool on) noexcept { secondSwitch_ = on; }
    bool secondSwitch() const noexcept { return secondSwitch_; }

    // The first attached target whose name equals `name` byte for byte, or null.
    [[nodiscard]] LogTargetInterface* findTarget(const char* name) const noexcept {
        return LogTargetList::find(name);
    }

    StdOutLogTarget& stdOutTarget() noexcept { return stdOut_; }
    StdErrLogTarget& stdErrTarget() noexcept { return stdErr_; }
    DebuggerConsoleLogTarget& debuggerTarget() noexcept { return debugger_; }

  private:
    LogService();
    ~LogService();

    bool accepts(LogLevel level, std::uint64_t groups) const noexcept;
    void dispatch(const LogRecord& record) noexcept;
    bool paused_ = false;
    bool secondSwitch_ = false;
    LogLevel minimumLevel_ = LogLevel::Warn;
    std::uint64_t mutedGroups_ = kLogGroupXtr;
    StdErrLogTarget stdErr_;
    StdOutLogTarget stdOut_;
    DebuggerConsoleLogTarget debugger_;
    std::uint32_t users_ = 0;
};

} // namespace kiv
