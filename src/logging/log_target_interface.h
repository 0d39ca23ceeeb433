// The plain function table through which the log service reaches a target. Targets may live in
// other modules of the process, so the table holds only cdecl functions; each is called with the
// table's own address, from which the target finds its object.
#pragma once

#include "logging/log_level.h"
#include "logging/log_record.h"

#include <kiv/plugin_abi.h>

#include <cstdint>

namespace kiv {

struct LogTargetInterface {
    std::int32_t(KIV_CDECL* version)(LogTargetInterface* self); // raised if the entries below ever change
    void(KIV_CDECL* setMinimumLevel)(LogTargetInterface* self, LogLevel level);
    LogLevel(KIV_CDECL* minimumLevel)(LogTargetInterface* self);
    // A group cannot be both: the muted ones win, and are taken out of the required ones.
    void(KIV_CDECL* setGroups)(LogTargetInterface* self, std::uint32_t requiredLow,
                               std::uint32_t requiredHigh, std::uint32_t mutedLow, std::uint32_t mutedHigh);
    std::uint64_t(KIV_CDECL* requiredGroups)(LogTargetInterface* self);
    std::uint64_t(KIV_CDECL* mutedGroups)(LogTargetInterface* self);
    const char*(KIV_CDECL* name)(LogTargetInterface* self);
    const char*(KIV_CDECL* templateFor)(LogTargetInterface* self, const LogRecord* record);
    void(KIV_CDECL* attach)(LogTargetInterface* self);
    void(KIV_CDECL* detach)(LogTargetInterface* self);
    bool(KIV_CDECL* isAttached)(LogTargetInterface* self);
    bool(KIV_CDECL* write)(LogTargetInterface* self, const LogRecord* record);
};

static_assert(sizeof(LogTargetInterface) == 12 * sizeof(void*), "twelve plain function pointers");

} // namespace kiv
