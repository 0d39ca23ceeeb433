// The log service's operations as a table of plain cdecl functions, for modules that share the
// process's logger without sharing its C++ types. Every entry that touches the service takes its
// lock; entries that need the service create it on first use.
#pragma once

#include "logging/log_level.h"
#include "logging/log_record.h"
#include "logging/log_target_interface.h"
#include "platform/local_time.h"

#include <kiv/plugin_abi.h>

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace kiv {

struct LogServiceApi {
    std::int32_t(KIV_CDECL* version)(); // raised if the entries below ever change
    void(KIV_CDECL* acquire)();
    void(KIV_CDECL* release)();
    void(KIV_CDECL* setMinimumLevel)(LogLevel level);
    LogLevel(KIV_CDECL* minimumLevel)();
    void(KIV_CDECL* setMutedGroups)(std::uint32_t low, std::uint32_t high);
    std::uint64_t(KIV_CDECL* mutedGroups)();
    void(KIV_CDECL* pause)();
    void(KIV_CDECL* resume)();
    void(KIV_CDECL* setSecondSwitch)();
    void(KIV_CDECL* clearSecondSwitch)();
    // Appends the target to the list as it is, even when it is listed already.
    void(KIV_CDECL* attachTarget)(LogTargetInterface* target);
    // Removes every occurrence of the target.
    void(KIV_CDECL* detachTarget)(LogTargetInterface* target);
    LogTargetInterface*(KIV_CDECL* findTarget)(const char* name);
    LogTargetInterface*(KIV_CDECL* stdOutTarget)();
    LogTargetInterface*(KIV_CDECL* stdErrTarget)();
    LogTargetInterface*(KIV_CDECL* debuggerTarget)();
    std::uint64_t(KIV_CDECL* registerLogGroup)(const char* code);
    void(KIV_CDECL* formatGroups)(char* out, std::size_t size, std::uint32_t low, std::uint32_t high);
    std::size_t(KIV_CDECL* formatLogLine)(char* out, std::size_t size, const char* lineTemplate,
                                          const LogRecord* record);
    const char*(KIV_CDECL* levelLabel)(LogLevel level);
    const char*(KIV_CDECL* moduleName)();
    void(KIV_CDECL* localTime)(platform::LocalTime* time);
    void(KIV_CDECL* formatDisplayTime)(char* out, std::size_t size, const platform::LocalTime* time);
    void(KIV_CDECL* formatFileNameTime)(char* out, std::size_t size, const platform::LocalTime* time);
    void(KIV_CDECL* log)(LogLevel level, std::uint32_t groupsLow, std::uint32_t groupsHigh,
                         const char* format, va_list arguments);
};

static_assert(sizeof(LogServiceApi) == 26 * sizeof(void*), "twenty-six plain function pointers");

// The process's table; it never changes.
[[nodiscard]] const LogServiceApi& logServiceApi() noexcept;

} // namespace kiv
