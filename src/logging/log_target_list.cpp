#include "logging/log_target_list.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace kiv {
namespace {

// Built in static storage and never destroyed, like the lock that guards it. An empty list gives
// its storage back, so that a module whose targets have all gone holds no block of it.
std::vector<LogTargetInterface*>& list() noexcept {
    alignas(std::vector<LogTargetInterface*>) static unsigned char
        storage[sizeof(std::vector<LogTargetInterface*>)];
    static auto* const targets = new (storage) std::vector<LogTargetInterface*>;
    return *targets;
}

void releaseStorageWhenEmpty() noexcept {
    if (list().empty()) {
        std::vector<LogTargetInterface*>().swap(list());
    }
}

} // namespace

platform::RecursiveLock& LogTargetList::lock() noexcept {
    alignas(platform::RecursiveLock) static unsigned char storage[sizeof(platform::RecursiveLock)];
    static platform::RecursiveLock* const processLock = new (storage) platform::RecursiveLock;
    return *processLock;
}

bool LogTargetList::append(LogTargetInterface* target) noexcept {
    if (!target) {
        return false;
    }
    try {
        list().push_back(target);
    } catch (...) {
        return false;
    }
    return true;
}

void LogTargetList::remove(LogTargetInterface* target) noexcept {
    std::erase(list(), target);
    releaseStorageWhenEmpty();
}

LogTargetInterface* LogTargetList::find(const char* name) noexcept {
    if (!name) {
        return nullptr;
    }
    for (LogTargetInterface* target : list()) {
        const char* targetName = target->name(target);
        if (targetName && std::strcmp(targetName, name) == 0) {
            return target;
        }
    }
    return nullptr;
}

const std::vector<LogTargetInterface*>& LogTargetList::targets() noexcept {
    return list();
}

void LogTargetList::detachAll() noexcept {
    while (!list().empty()) {
        LogTargetInterface* target = list().back();
        target->detach(target);
        remove(target);
    }
}

} // namespace kiv
