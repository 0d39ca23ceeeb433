#include "router/route_contexts.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <utility>

namespace kiv {

namespace {

struct RouteContextTable {
    std::mutex mutex;
    std::map<std::uintptr_t, RouteContext> contexts;
    std::uintptr_t lastToken = 0;
};

RouteContextTable& routeContextTable() noexcept {
    static RouteContextTable table;
    return table;
}

std::uintptr_t tokenOf(const void* context) noexcept {
    return reinterpret_cast<std::uintptr_t>(context);
}

} // namespace

void* issueRouteContext(RouteContext context) {
    RouteContextTable& table = routeContextTable();
    std::lock_guard lock(table.mutex);
    std::uintptr_t token = table.lastToken;
    do {
        ++token;
    } while (token == 0 || table.contexts.contains(token));
    table.contexts.emplace(token, std::move(context));
    table.lastToken = token;
    return reinterpret_cast<void*>(token);
}

void withdrawRouteContext(const void* token) noexcept {
    RouteContext dropped; // released after the table's lock
    RouteContextTable& table = routeContextTable();
    std::lock_guard lock(table.mutex);
    if (auto it = table.contexts.find(tokenOf(token)); it != table.contexts.end()) {
        dropped = std::move(it->second);
        table.contexts.erase(it);
    }
}

ResolvedRouteContext resolveRouteContext(const void* token) noexcept {
    ResolvedRouteContext resolved;
    const std::uintptr_t value = tokenOf(token);
    if (value == 0) {
        return resolved;
    }
    RouteContextTable& table = routeContextTable();
    std::lock_guard lock(table.mutex);
    if (auto it = table.contexts.find(value); it != table.contexts.end()) {
        resolved.state = RouteContextState::Live;
        resolved.context = it->second;
    } else if (value <= table.lastToken) {
        resolved.state = RouteContextState::Withdrawn;
    }
    return resolved;
}

std::size_t liveRouteContextCount() noexcept {
    RouteContextTable& table = routeContextTable();
    std::lock_guard lock(table.mutex);
    return table.contexts.size();
}

} // namespace kiv
