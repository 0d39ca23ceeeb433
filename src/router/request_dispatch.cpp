#include "router/request_dispatch.h"

#include "router/argument_binding.h"
#include "router/body_decoding.h"
#include "router/call_context.h"
#include "router/request_info.h"
#include "router/request_texts.h"
#include "router/response_writer.h"
#include "router/route_contexts.h"
#include "router/route_invoker.h"
#include "router/router_messages.h"
#include "value/conversion_result.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

namespace kiv {
namespace {

// The answer to a request whose router is gone: it is the host's call that came too late, not a
// fault of the request, and the function may be served again once a plugin is loaded anew.
constexpr std::uint32_t kUnloadedStatus = 503;

void bindAndInvoke(CallContext& context, RequestInfo& requestInfo, std::unique_ptr<PreparedCall>& prepared,
                   const HostRequest& request, const RouteMatch& match) {
    const FunctionHttpInfo& info = *match.info;
    const BindingFunction& function = *match.function;
    std::map<std::string, std::string> headers = requestHeadersOf(request);
    BindArguments(context, requestInfo.arguments, function, info, queryValuesOf(match.path), match.pathValues,
                  headerValuesOf(headers, info));
    bindHostArguments(context, requestInfo.arguments, function, request, match.pathValues.size());
    decodeRequestBody(context, requestInfo.arguments, info, request);
    if (!context.ok()) {
        return;
    }
    RouteInvoker& invoker = *info.invoker();
    prepared = invoker.prepare(context, function, requestInfo.arguments, request.userData);
    if (!context.ok() || prepared == nullptr) {
        return;
    }
    if (!isRequestInfoType(invoker.requestType())) {
        invoker.invoke(context, nullptr, *prepared, request.userData);
        return;
    }
    requestInfo.userData = request.userData;
    requestInfo.registry = &context.registry();
    requestInfo.receiveTime = currentReceiveTime();
    requestInfo.method = match.method;
    requestInfo.customMethod = match.customMethod;
    requestInfo.path = match.path;
    requestInfo.headers = std::move(headers);
    invoker.invoke(context, &requestInfo, *prepared, request.userData);
}

void runCall(const BindingRegistry& registry, HostResponse& response, const HostRequest& request,
             const RouteMatch& match) {
    CallContext context(registry);
    RequestInfo requestInfo;
    std::unique_ptr<PreparedCall> prepared; // released once the response is written
    try {
        bindAndInvoke(context, requestInfo, prepared, request, match);
    } catch (...) {
        context.setError(failureTextOfCurrentException());
    }
    writeResponse(response, context);
}

} // namespace

void KIV_CDECL DispatchRequest(HostResponse* response, const HostRequest* request) noexcept {
    if (response == nullptr) {
        return;
    }
    // The context's value is looked up, never followed: it may name a router that is gone.
    const ResolvedRouteContext resolved =
        resolveRouteContext(request != nullptr ? request->context : nullptr);
    if (resolved.state == RouteContextState::Unknown) {
        resetResponse(*response);
        writeErrorResponse(*response, router_messages::kInvalidFunction, 404);
        return;
    }
    if (resolved.state == RouteContextState::Live) {
        const RouteContext& context = resolved.context;
        std::lock_guard entry(context.gate->entryLock());
        // The gate closes under this lock before the router goes, so an open gate keeps the
        // registry and the function's binding alive for the whole call.
        if (context.gate->isOpen()) {
            const Route route = makeRoute(*context.info);
            Dispatch(*context.registry, *response, *request, std::span(&route, 1));
            return;
        }
    }
    resetResponse(*response);
    writeErrorResponse(*response, router_messages::kPluginUnloaded, kUnloadedStatus);
}

void Dispatch(const BindingRegistry& registry, HostResponse& response, const HostRequest& request,
              std::span<const Route> routes) noexcept {
    resetResponse(response);
    try {
        RouteMatch match;
        match.method = httpMethodFromHost(request.method);
        if (match.method == HttpMethod::Custom && request.customMethod != nullptr) {
            match.customMethod = request.customMethod;
        }
        match.path = hostText(request.path);
        if (!FindRoute(match, routes, false) || match.info->invoker() == nullptr) {
            writeErrorResponse(response, router_messages::kInvalidFunction, 404);
            return;
        }
        runCall(registry, response, request, match);
    } catch (...) {
        resetResponse(response);
        writeErrorResponse(response, failureTextOfCurrentException(), 0);
    }
}

} // namespace kiv
