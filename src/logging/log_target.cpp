#include "logging/log_target.h"

#include "logging/log_target_list.h"
#include "platform/invariant.h"

#include <cstddef>
#include <mutex>
#include <type_traits>

namespace kiv {

namespace {

using Lock = std::lock_guard<platform::RecursiveLock>;

// Runs `operation` on the target behind a table, or gives `fallback` for a null table.
template <class Result, class Operation>
Result onTarget(LogTargetInterface* table, Result fallback, Operation operation) noexcept {
    LogTarget* target = LogTarget::fromInterface(table);
    return target ? operation(*target) : fallback;
}

template <class Operation> void onTarget(LogTargetInterface* table, Operation operation) noexcept {
    if (LogTarget* target = LogTarget::fromInterface(table)) {
        operation(*target);
    }
}

std::int32_t KIV_CDECL tableVersion(LogTargetInterface*) {
    return 1;
}

void KIV_CDECL tableSetMinimumLevel(LogTargetInterface* self, LogLevel level) {
    onTarget(self, [&](LogTarget& target) { target.setMinimumLevel(level); });
}

LogLevel KIV_CDECL tableMinimumLevel(LogTargetInterface* self) {
    return onTarget(self, LogLevel::Warn, [](LogTarget& target) { return target.minimumLevel(); });
}

void KIV_CDECL tableSetGroups(LogTargetInterface* self, std::uint32_t requiredLow, std::uint32_t requiredHigh,
                              std::uint32_t mutedLow, std::uint32_t mutedHigh) {
    onTarget(self, [&](LogTarget& target) {
        target.setGroups(joinHalves(requiredLow, requiredHigh), joinHalves(mutedLow, mutedHigh));
    });
}

std::uint64_t KIV_CDECL tableRequiredGroups(LogTargetInterface* self) {
    return onTarget(self, std::uint64_t{0}, [](LogTarget& target) { return target.requiredGroups(); });
}

std::uint64_t KIV_CDECL tableMutedGroups(LogTargetInterface* self) {
    return onTarget(self, std::uint64_t{0}, [](LogTarget& target) { return target.mutedGroups(); });
}

const char* KIV_CDECL tableName(LogTargetInterface* self) {
    return onTarget(self, "", [](LogTarget& target) { return target.name(); });
}

const char* KIV_CDECL tableTemplateFor(LogTargetInterface* self, const LogRecord* record) {
    const LogRecord empty;
    return onTarget(self, "",
                    [&](LogTarget& target) { return target.templateFor(record ? *record : empty); });
}

void KIV_CDECL tableAttach(LogTargetInterface* self) {
    onTarget(self, [](LogTarget& target) { target.attach(); });
}

void KIV_CDECL tableDetach(LogTargetInterface* self) {
    onTarget(self, [](LogTarget& target) { target.detach(); });
}

bool KIV_CDECL tableIsAttached(LogTargetInterface* self) {
    return onTarget(self, false, [](LogTarget& target) { return target.isAttached(); });
}

bool KIV_CDECL tableWrite(LogTargetInterface* self, const LogRecord* record) {
    return record && onTarget(self, false, [&](LogTarget& target) { return target.write(*record); });
}

constexpr LogTargetInterface kTable = {
    tableVersion,        tableSetMinimumLevel, tableMinimumLevel, tableSetGroups,
    tableRequiredGroups, tableMutedGroups,     tableName,         tableTemplateFor,
    tableAttach,         tableDetach,          tableIsAttached,   tableWrite,
};

} // namespace

LogTarget::LogTarget() : slot_{kTable, this}, template_(kDefaultLogTemplate) {}

LogTarget::~LogTarget() = default;

LogTarget* LogTarget::fromInterface(LogTargetInterface* table) noexcept {
    static_assert(std::is_standard_layout_v<InterfaceSlot> && offsetof(InterfaceSlot, table) == 0,
                  "the table and its slot share an address");
    if (!table) {
        return nullptr;
    }
    LogTarget* owner = reinterpret_cast<InterfaceSlot*>(table)->owner;
    KIV_ASSERT(owner->logInterface() == table, "a target's entries are called with that target's table");
    return owner;
}

const char* LogTarget::name() const noexcept {
    return "LogTarget";
}

const char* LogTarget::templateFor(const LogRecord&) const noexcept {
    return template_.c_str();
}

bool LogTarget::write(const LogRecord&) noexcept {
    return false;
}

void LogTarget::attach() noexcept {
    Lock listLock(LogTargetList::lock());
    Lock lock(lock_);
    if (attached_) {
        return;
    }
    attached_ = LogTargetList::append(logInterface());
}

// Removes the target even when its flag is clear: the service's own attach entry can list a
// target without raising the flag, and a destroyed target must never stay in the list.
void LogTarget::detach() noexcept {
    Lock listLock(LogTargetList::lock());
    Lock lock(lock_);
    attached_ = false;
    LogTargetList::remove(logInterface());
}

bool LogTarget::isAttached() const noexcept {
    Lock lock(lock_);
    return attached_;
}

void LogTarget::setMinimumLevel(LogLevel level) noexcept {
    Lock lock(lock_);
    minimumLevel_.store(level, std::memory_order_relaxed);
}

LogLevel LogTarget::minimumLevel() const noexcept {
    return minimumLevel_.load(std::memory_order_relaxed);
}

void LogTarget::setGroups(std::uint64_t required, std::uint64_t muted) noexcept {
    Lock lock(lock_);
    mutedGroups_.store(muted, std::memory_order_relaxed);
    requiredGroups_.store(required & ~muted, std::memory_order_relaxed);
}

std::uint64_t LogTarget::requiredGroups() const noexcept {
    return requiredGroups_.load(std::memory_order_relaxed);
}

std::uint64_t LogTarget::mutedGroups() const noexcept {
    return mutedGroups_.load(std::memory_order_relaxed);
}

bool LogTarget::applySettings(const LogTargetSettings& settings) noexcept {
    Lock listLock(LogTargetList::lock());
    Lock lock(lock_);
    detach();
    const bool configured = configure(settings);
    attach();
    return configured;
}

bool LogTarget::configure(const LogTargetSettings& settings) noexcept {
    Lock listLock(LogTargetList::lock());
    Lock lock(lock_);
    bool templateTaken = true;
    try {
        template_.assign(settings.lineTemplate);
    } catch (...) {
        templateTaken = false;
    }
    setMinimumLevel(settings.minimumLevel);
    setGroups(settings.requiredGroups, settings.mutedGroups);
    return templateTaken;
}

} // namespace kiv
