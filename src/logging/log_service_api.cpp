#include "logging/log_service_api.h"

#include "logging/log_groups.h"
#include "logging/log_line_format.h"
#include "logging/log_service.h"
#include "logging/log_target_list.h"
#include "logging/module_name.h"

#include <mutex>

namespace kiv {

namespace {

// Runs `operation` on the service, created on first use, under its lock; `fallback` when the
// service cannot be created.
template <class Result, class Operation> Result withService(Result fallback, Operation operation) noexcept {
    std::lock_guard lock(LogService::lock());
    LogService* service = LogService::currentOrCreate();
    return service ? operation(*service) : fallback;
}

template <class Operation> void withService(Operation operation) noexcept {
    std::lock_guard lock(LogService::lock());
    if (LogService* service = LogService::currentOrCreate()) {
        operation(*service);
    }
}

std::int32_t KIV_CDECL apiVersion() {
    return 1;
}

void KIV_CDECL apiAcquire() {
    LogService::acquire();
}

void KIV_CDECL apiRelease() {
    LogService::release();
}

void KIV_CDECL apiSetMinimumLevel(LogLevel level) {
    withService([&](LogService& service) { service.setMinimumLevel(level); });
}

LogLevel KIV_CDECL apiMinimumLevel() {
    return withService(LogLevel::Warn, [](LogService& service) { return service.minimumLevel(); });
}

void KIV_CDECL apiSetMutedGroups(std::uint32_t low, std::uint32_t high) {
    withService([&](LogService& service) { service.setMutedGroups(joinHalves(low, high)); });
}

std::uint64_t KIV_CDECL apiMutedGroups() {
    return withService(std::uint64_t{0}, [](LogService& service) { return service.mutedGroups(); });
}

void KIV_CDECL apiPause() {
    withService([](LogService& service) { service.setPaused(true); });
}

void KIV_CDECL apiResume() {
    withService([](LogService& service) { service.setPaused(false); });
}

void KIV_CDECL apiSetSecondSwitch() {
    withService([](LogService& service) { service.setSecondSwitch(true); });
}

void KIV_CDECL apiClearSecondSwitch() {
    withService([](LogService& service) { service.setSecondSwitch(false); });
}

void KIV_CDECL apiAttachTarget(LogTargetInterface* target) {
    // The table entry has no result through which to report a list that could not grow.
    // Attaching through the API starts the service, as any other use of the API does.
    withService([&](LogService&) { static_cast<void>(LogTargetList::append(target)); });
}

// Detaching needs no service: the list is the process's own.
void KIV_CDECL apiDetachTarget(LogTargetInterface* target) {
    std::lock_guard lock(LogService::lock());
    LogTargetList::remove(target);
}

LogTargetInterface* KIV_CDECL apiFindTarget(const char* name) {
    std::lock_guard lock(LogService::lock());
    return LogTargetList::find(name);
}

LogTargetInterface* KIV_CDECL apiStdOutTarget() {
    return withService<LogTargetInterface*>(
        nullptr, [](LogService& service) { return service.stdOutTarget().logInterface(); });
}

LogTargetInterface* KIV_CDECL apiStdErrTarget() {
    return withService<LogTargetInterface*>(
        nullptr, [](LogService& service) { return service.stdErrTarget().logInterface(); });
}

LogTargetInterface* KIV_CDECL apiDebuggerTarget() {
    return withService<LogTargetInterface*>(
        nullptr, [](LogService& service) { return service.debuggerTarget().logInterface(); });
}

std::uint64_t KIV_CDECL apiRegisterLogGroup(const char* code) {
    return RegisterLogGroup(code);
}

void KIV_CDECL apiFormatGroups(char* out, std::size_t size, std::uint32_t low, std::uint32_t high) {
    formatLogGroups(out, size, joinHalves(low, high));
}

std::size_t KIV_CDECL apiFormatLogLine(char* out, std::size_t size, const char* lineTemplate,
                                       const LogRecord* record) {
    const LogRecord empty;
    return FormatLogLine(out, size, lineTemplate, record ? *record : empty);
}

const char* KIV_CDECL apiLevelLabel(LogLevel level) {
    return logLevelLabel(level);
}

const char* KIV_CDECL apiModuleName() {
    return moduleName();
}

void KIV_CDECL apiLocalTime(platform::LocalTime* time) {
    if (time) {
        *time = platform::currentLocalTime();
    }
}

void KIV_CDECL apiFormatDisplayTime(char* out, std::size_t size, const platform::LocalTime* time) {
    formatDisplayTime(out, size, time ? *time : platform::LocalTime{});
}

void KIV_CDECL apiFormatFileNameTime(char* out, std::size_t size, const platform::LocalTime* time) {
    formatFileNameTime(out, size, time ? *time : platform::LocalTime{});
}

void KIV_CDECL apiLog(LogLevel level, std::uint32_t groupsLow, std::uint32_t groupsHigh, const char* format,
                      va_list arguments) {
    LogService::log(level, joinHalves(groupsLow, groupsHigh), format, arguments);
}

constexpr LogServiceApi kApi = {
    apiVersion,
    apiAcquire,
    apiRelease,
    apiSetMinimumLevel,
    apiMinimumLevel,
    apiSetMutedGroups,
    apiMutedGroups,
    apiPause,
    apiResume,
    apiSetSecondSwitch,
    apiClearSecondSwitch,
    apiAttachTarget,
    apiDetachTarget,
    apiFindTarget,
    apiStdOutTarget,
    apiStdErrTarget,
    apiDebuggerTarget,
    apiRegisterLogGroup,
    apiFormatGroups,
    apiFormatLogLine,
    apiLevelLabel,
    apiModuleName,
    apiLocalTime,
    apiFormatDisplayTime,
    apiFormatFileNameTime,
    apiLog,
};

} // namespace

const LogServiceApi& logServiceApi() noexcept {
    return kApi;
}

} // namespace kiv
