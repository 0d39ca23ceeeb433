// The entry the host calls for every request of an HTTP function, and the dispatch behind
// it: route check, argument binding from headers, path, query, host arguments and body, the
// call, and the response.
#pragma once

#include "binding/binding_registry.h"
#include "kiv/plugin_abi.h"
#include "router/function_http_info.h"
#include "router/route.h"

#include <span>

namespace kiv {

class Router;

// What the context pointer of an HttpFunctionRecord points at.
struct RouteContext {
    Router* router = nullptr;
    FunctionHttpInfo* info = nullptr;
};

// The dispatch entry of every HttpFunctionRecord: serves the request with the route of the
// function that the request's context names, under the router's entry lock when it has one.
void KIV_CDECL DispatchRequest(HostResponse* response, const HostRequest* request) noexcept;

// Resets the response and stores its release routine, chooses among the routes (method
// checked; none: "Invalid function", 404) and runs the call.
void Dispatch(const BindingRegistry& registry, HostResponse& response, const HostRequest& request,
              std::span<const Route> routes) noexcept;

} // namespace kiv
