// The entry the host calls for every request of an HTTP function, and the dispatch behind
// it: route check, argument binding from headers, path, query, host arguments and body, the
// call, and the response.
#pragma once

#include "binding/binding_registry.h"
#include "kiv/plugin_abi.h"
#include "router/route.h"

#include <span>

namespace kiv {

// The dispatch entry of every HttpFunctionRecord: serves the request with the route of the
// function that the request's context (route_contexts.h) names, under the router's entry lock.
// A null or unknown context is answered "Invalid function", 404; the context of a router that
// is gone, or whose gate closed while the request waited for it, "The plugin is unloaded.", 503,
// without touching anything of the router's.
void KIV_CDECL DispatchRequest(HostResponse* response, const HostRequest* request) noexcept;

// Serves a request with the first of `routes` that matches it. The response is reset first, so
// that whatever happens the host finds a record it can release.
void Dispatch(const BindingRegistry& registry, HostResponse& response, const HostRequest& request,
              std::span<const Route> routes) noexcept;

} // namespace kiv
