#include "router/route_contexts.h"

#include "platform/token_table.h"

#include <cstdint>

namespace kiv {

namespace {

platform::TokenTable<RouteContext>& routeContextTable() noexcept {
    static platform::TokenTable<RouteContext> table;
    return table;
}

std::uintptr_t tokenOf(const void* context) noexcept {
    return reinterpret_cast<std::uintptr_t>(context);
}

} // namespace

void* issueRouteContext(RouteContext context) {
    return reinterpret_cast<void*>(routeContextTable().issue(std::move(context)));
}

void withdrawRouteContext(const void* token) noexcept {
    (void)routeContextTable().take(tokenOf(token));
}

ResolvedRouteContext resolveRouteContext(const void* token) noexcept {
    ResolvedRouteContext resolved;
    try {
        if (std::optional<RouteContext> live = routeContextTable().find(tokenOf(token))) {
            resolved.state = RouteContextState::Live;
            resolved.context = std::move(*live);
        } else if (routeContextTable().wasIssued(tokenOf(token))) {
            resolved.state = RouteContextState::Withdrawn;
        }
    } catch (...) {
        // Copying a context allocates nothing; a failure here leaves the token unknown.
    }
    return resolved;
}

std::size_t liveRouteContextCount() noexcept {
    return routeContextTable().size();
}

} // namespace kiv
