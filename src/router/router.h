// The API router of a plugin: HTTP routes over the bound functions of its BindingRegistry.
//
// A plugin registers a route with the method's operation, a URL template, a handler and its
// tags, then declares the handler's arguments in order; path parameters with pathArgument:
//
//     router.addGet("/kiv-kr-shutdown-law/v1/queue-status/{queue_id}",
//                   [this](CallContext& call, std::int32_t queueId) -> QueueShutdownStatus {
//                       if (queueId < 0) call.fail(404, formatMessage("Unknown queueId: %1", {queueId}));
//                       return {isDisabled(queueId)};
//                   },
//                   tags)
//         .pathArgument("queue_id");
//
// The function is named after the method and template (GetKivKrShutdownLawV1QueueStatusByQueueId).
// Handler parameters of type CallContext&, const RequestInfo& and const RequestInfo* are
// supplied by the router; every other parameter is an argument (see handler_invoker.h).
// Registering a function name a second time changes nothing.
//
// When all routes are registered, exportApi() builds the records handed to the host. The host
// calls each record's dispatch entry with its context; the router answers through the
// dispatch of request_dispatch.h.
#pragma once

#include "binding/binding_registry.h"
#include "kiv/plugin_abi.h"
#include "platform/entry_gate.h"
#include "router/function_http_info.h"
#include "router/handler_invoker.h"
#include "router/http_method.h"
#include "router/route_invoker.h"

#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kiv {

class HttpFunctionRecords;

// Declares the arguments and description of a function just registered as a route. Inert
// (every operation does nothing) when the function was registered before.
class RouteBuilder {
  public:
    bool alreadyRegistered() const noexcept { return alreadyRegistered_; }
    BindingFunction& function() const noexcept { return info_->function(); }
    FunctionHttpInfo& info() const noexcept { return *info_; }

    // The next handler argument, taken from the path parameter of that name.
    RouteBuilder& pathArgument(std::string_view name, std::string_view description = {});
    // The next handler argument, from the given location (Any: every source).
    RouteBuilder& argument(std::string_view name, ArgumentLocation location = ArgumentLocation::Any,
                           std::string_view description = {}, bool optional = false);
    RouteBuilder& setDescription(std::string_view description);
    RouteBuilder& setHelp(std::string_view help);

  private:
    friend class Router;
    RouteBuilder(const BindingRegistry& registry, FunctionHttpInfo& info, bool alreadyRegistered) noexcept
        : registry_(&registry), info_(&info), alreadyRegistered_(alreadyRegistered) {}

    const BindingRegistry* registry_;
    FunctionHttpInfo* info_;
    bool alreadyRegistered_;
};

class Router {
  public:
    // Requests enter through `gate` (a gate of the router's own when none is given): under its
    // entry lock, so that they enter the plugin one at a time with its other entries, and only
    // while it is open. The router closes it when it is destroyed.
    explicit Router(BindingRegistry& registry, std::shared_ptr<platform::EntryGate> gate = nullptr);
    ~Router();
    Router(const Router&) = delete;
    Router& operator=(const Router&) = delete;

    BindingRegistry& registry() const noexcept { return registry_; }

    // One registration per method. A template longer than "/" loses one trailing "/".
    template <class Handler>
    RouteBuilder addGet(std::string_view pathTemplate, Handler handler,
                        std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Get, pathTemplate, std::move(handler), tags);
    }
    template <class Handler>
    RouteBuilder addDelete(std::string_view pathTemplate, Handler handler,
                           std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Delete, pathTemplate, std::move(handler), tags);
    }
    template <class Handler>
    RouteBuilder addHead(std::string_view pathTemplate, Handler handler,
                         std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Head, pathTemplate, std::move(handler), tags);
    }
    template <class Handler>
    RouteBuilder addOptions(std::string_view pathTemplate, Handler handler,
                            std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Options, pathTemplate, std::move(handler), tags);
    }
    template <class Handler>
    RouteBuilder addPatch(std::string_view pathTemplate, Handler handler,
                          std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Patch, pathTemplate, std::move(handler), tags);
    }
    template <class Handler>
    RouteBuilder addPost(std::string_view pathTemplate, Handler handler,
                         std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Post, pathTemplate, std::move(handler), tags);
    }
    template <class Handler>
    RouteBuilder addPut(std::string_view pathTemplate, Handler handler,
                        std::span<const std::string> tags = {}) {
        return addRoute(HttpMethod::Put, pathTemplate, std::move(handler), tags);
    }
    // A route for requests of a method of its own name; the name also begins the function's.
    template <class Handler>
    RouteBuilder addCustom(std::string_view methodName, std::string_view pathTemplate, Handler handler,
                           std::span<const std::string> tags = {}) {
        return registerRoute(HttpMethod::Custom, methodName, pathTemplate,
                             makeRouteInvoker(std::move(handler)), tags);
    }
    // HttpMethod::None accepts every method.
    template <class Handler>
    RouteBuilder addRoute(HttpMethod method, std::string_view pathTemplate, Handler handler,
                          std::span<const std::string> tags = {}) {
        return registerRoute(method, {}, pathTemplate, makeRouteInvoker(std::move(handler)), tags);
    }

    // Names the function after the method (or custom method name) and the template,
    // registers it in the registry and creates its FunctionHttpInfo, which takes the invoker.
    // When the function already had one, the invoker is dropped and the builder is inert.
    RouteBuilder registerRoute(HttpMethod method, std::string_view customMethod,
                               std::string_view pathTemplate, std::unique_ptr<RouteInvoker> invoker,
                               std::span<const std::string> tags);

    // The function's HTTP binding, created on first request; `created` tells which.
    struct InfoLookup {
        FunctionHttpInfo* info;
        bool created;
    };
    InfoLookup functionInfo(BindingFunction& function);
    // Every HTTP binding, in creation order.
    std::vector<FunctionHttpInfo*> functionInfos() const;

    // Builds the host's records of every HTTP function from a fresh registry export. They
    // stay valid until the next call or the router's destruction (and the registry's next
    // export, whose records they point into).
    const ApiExport& exportApi();

    const std::shared_ptr<platform::EntryGate>& entryGate() const noexcept { return gate_; }

  private:
    BindingRegistry& registry_;
    mutable std::mutex mutex_; // guards infos_ and order_
    std::unordered_map<const BindingFunction*, std::unique_ptr<FunctionHttpInfo>> infos_;
    std::vector<FunctionHttpInfo*> order_;
    std::shared_ptr<platform::EntryGate> gate_;
    std::unique_ptr<HttpFunctionRecords> records_;
};

} // namespace kiv
