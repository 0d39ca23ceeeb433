#include "logging/log_service.h"

#include "logging/log_record.h"
#include "logging/module_name.h"
#include "logging/process_clock.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace kiv {

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

// Guarded by LogService::lock().
LogService* instance = nullptr;

constexpr std::string_view kConsoleTemplate = "#E(#T): #L| #M";

bool passesTargetFilters(LogTargetInterface* target, LogLevel level, std::uint64_t groups) noexcept {
    if (static_cast<std::int32_t>(level) < static_cast<std::int32_t>(target->minimumLevel(target))) {
        return false;
    }
    // A record in no group says nothing a group filter could judge, so it passes them all.
    if (groups == 0) {
        return true;
    }
    if (groups & target->mutedGroups(target)) {
        return false;
    }
    const std::uint64_t required = target->requiredGroups(target);
    return required == 0 || (required & groups) != 0;
}

void formatText(char (&text)[kLogBufferSize], const char* format, va_list arguments) noexcept {
    if (!format || std::vsnprintf(text, sizeof text, format, arguments) < 0) {
        text[0] = '\0';
    }
}

} // namespace

LogService* LogService::current() noexcept {
    return instance;
}

LogService* LogService::currentOrCreate() noexcept {
    if (instance) {
        return instance;
    }
    try {
        instance = new LogService;
    } catch (...) {
        return nullptr;
    }
    instance->stdErr_.attach();
    instance->debugger_.attach();
    return instance;
}

LogService::LogService() {
    captureModuleName();
    secondsSinceFirstClockReading();
    stdErr_.configure({LogLevel::Warn, kLogGroupDbg, kLogGroupGen, kConsoleTemplate});
    stdOut_.configure({LogLevel::Warn, kLogGroupGen, kLogGroupDbg, "#M"});
    debugger_.configure({LogLevel::Warn, kLogGroupDbg, 0, kConsoleTemplate});
}

LogService::~LogService() = default;

void LogService::acquire() noexcept {
    Lock lock(LogService::lock());
    if (LogService* service = currentOrCreate()) {
        ++service->users_;
    }
}

void LogService::release() noexcept {
    Lock lock(LogService::lock());
    LogService* service = instance;
    if (!service || service->users_ == 0 || --service->users_ > 0) {
        return;
    }
    LogTargetList::detachAll();
    instance = nullptr;
    delete service;
}

void LogService::log(LogLevel level, std::uint64_t groups, const char* format, va_list arguments) noexcept {
    {
        Lock lock(LogService::lock());
        const LogService* service = currentOrCreate();
        if (!service || !service->accepts(level, groups)) {
            return;
        }
    }
    // Formatting and the time stamp happen outside the lock.
    char text[kLogBufferSize];
    formatText(text, format, arguments);
    LogRecord record;
    record.time = platform::currentLocalTime();
    record.level = level;
    record.groupsLow = lowHalf(groups);
    record.groupsHigh = highHalf(groups);
    record.text = text;

    Lock lock(LogService::lock());
    if (LogService* service = current()) {
        service->dispatch(record);
    }
}

bool LogService::accepts(LogLevel level, std::uint64_t groups) const noexcept {
    return !paused_ && static_cast<std::int32_t>(level) >= static_cast<std::int32_t>(minimumLevel_) &&
           (groups & mutedGroups_) == 0;
}

void LogService::dispatch(const LogRecord& record) noexcept {
    const std::uint64_t groups = record.groups();
    const std::vector<LogTargetInterface*>& targets = LogTargetList::targets();
    // By index, as a target may detach itself or others while it writes; when the entry just
    // written to is gone, the next one has moved into its place.
    for (std::size_t i = 0; i < targets.size();) {
        LogTargetInterface* target = targets[i];
        if (passesTargetFilters(target, record.level, groups)) {
            target->write(target, &record);
        }
        if (i < targets.size() && targets[i] == target) {
            ++i;
        }
    }
}

} // namespace kiv
