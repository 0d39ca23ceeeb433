// The context pointers that a router's HttpFunctionRecords hand to the host. The host may call a
// function's dispatch entry with its context at any time, also while the plugin is being unloaded
// on another thread or after it is gone, so a context is an opaque token rather than an address
// in the router: tokens are resolved through one process-wide table under one process-wide lock,
// as job tokens and plugin handles are. What a token leads to holds the router's entry gate by
// shared ownership, so the gate (and the lock a request waits on) stays while any request holds
// it, and the request learns under that lock whether the router is still there.
#pragma once

#include "platform/entry_gate.h"

#include <cstddef>
#include <memory>

namespace kiv {

class BindingRegistry;
class FunctionHttpInfo;

// What a live context leads to: the router's gate, the registry its calls convert with, and the
// function's binding. The registry and the binding may be used only under the gate's entry lock
// and only while the gate is open.
struct RouteContext {
    std::shared_ptr<platform::EntryGate> gate;
    const BindingRegistry* registry = nullptr;
    const FunctionHttpInfo* info = nullptr;
};

enum class RouteContextState {
    Unknown,   // null, or a pointer the table never issued
    Withdrawn, // issued once, and its router is gone (any token up to the last issued that is not live)
    Live,
};

struct ResolvedRouteContext {
    RouteContextState state = RouteContextState::Unknown;
    RouteContext context; // set when Live
};

// Enters the context under a new token: never null and never one issued before. Tokens count up
// from 1 for the whole process, so a withdrawn token leads nowhere until the counter has gone once
// round the width of a pointer.
[[nodiscard]] void* issueRouteContext(RouteContext context);

// Takes the token out of the table; nothing for a token that is not there (null included).
void withdrawRouteContext(const void* token) noexcept;

// What the token leads to now. Reads nothing but the token's value.
[[nodiscard]] ResolvedRouteContext resolveRouteContext(const void* token) noexcept;

// How many tokens are live in the process.
[[nodiscard]] std::size_t liveRouteContextCount() noexcept;

} // namespace kiv
