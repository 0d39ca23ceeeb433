// The base of every log target: its filters, its line template, its place in the process's
// target list and the function table (LogTargetInterface) through which the service calls it.
// A target knows nothing of the service: it is listed, and the service writes to the list.
#pragma once

#include "logging/log_level.h"
#include "logging/log_record.h"
#include "logging/log_target_interface.h"
#include "platform/recursive_lock.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

inline constexpr std::string_view kDefaultLogTemplate = "#D| #L| #G| #M";

// Everything about a target that is configured in one step.
struct LogTargetSettings {
    LogLevel minimumLevel = LogLevel::Warn;
    std::uint64_t requiredGroups = 0; // 0: no requirement
    std::uint64_t mutedGroups = 0;
    std::string_view lineTemplate = kDefaultLogTemplate;
};

// Locking: the process's logging lock (LogTargetList::lock()) is always taken before a target's
// own lock. The service holds it while it filters and writes to targets, and every operation here
// that touches the attachment or the template takes it first as well, so configuring a target
// while other threads log to it cannot deadlock.
//
// A target that other threads may still be writing to when it is destroyed must be detached by
// its most derived destructor: once a base destructor runs, the object no longer writes as its
// own class.
class LogTarget {
  public:
    LogTarget();
    virtual ~LogTarget();
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    // The table the service keeps for this target, and the way back from it.
    [[nodiscard]] LogTargetInterface* logInterface() noexcept { return &slot_.table; }
    [[nodiscard]] static LogTarget* fromInterface(LogTargetInterface* table) noexcept;

    virtual const char* name() const noexcept;
    // The template for a record; the text stays valid while the logging lock is held.
    virtual const char* templateFor(const LogRecord& record) const noexcept;
    // Writes a record that passed the filters. A bare target writes nothing and returns false.
    virtual bool write(const LogRecord& record) noexcept;

    // Appends this target to the process's target list unless it is attached already.
    void attach() noexcept;
    // Removes every occurrence of this target from the process's target list.
    void detach() noexcept;
    bool isAttached() const noexcept;

    void setMinimumLevel(LogLevel level) noexcept;
    LogLevel minimumLevel() const noexcept;
    void setGroups(std::uint64_t required, std::uint64_t muted) noexcept;
    std::uint64_t requiredGroups() const noexcept;
    std::uint64_t mutedGroups() const noexcept;

    // Detaches, takes all settings and attaches again, as one step against concurrent logging.
    // Returns false, with the template unchanged, when the template could not be copied.
    bool applySettings(const LogTargetSettings& settings) noexcept;
    // Takes all settings without touching the attachment.
    bool configure(const LogTargetSettings& settings) noexcept;

  protected:
    platform::RecursiveLock& targetLock() const noexcept { return lock_; }

  private:
    // The table comes first so that its address leads back to the slot and the owner.
    struct InterfaceSlot {
        LogTargetInterface table;
        LogTarget* owner;
    };

    InterfaceSlot slot_;
    bool attached_ = false;
    mutable platform::RecursiveLock lock_;
    // The service reads the filters of every target for every record: they are read without
    // the target's lock, and written under it, so that writers stay in order.
    std::atomic<LogLevel> minimumLevel_ = LogLevel::Warn;
    std::atomic<std::uint64_t> requiredGroups_ = 0;
    std::atomic<std::uint64_t> mutedGroups_ = 0;
    std::string template_;
};

} // namespace kiv
