#include "router/router.h"

#include "binding/binding_tags.h"
#include "platform/invariant.h"
#include "router/function_name.h"
#include "router/http_function_records.h"

#include <mutex>
#include <utility>

namespace kiv {

RouteBuilder& RouteBuilder::pathArgument(std::string_view name, std::string_view description) {
    return argument(name, ArgumentLocation::Path, description);
}

RouteBuilder& RouteBuilder::argument(std::string_view name, ArgumentLocation location,
                                     std::string_view description, bool optional) {
    if (alreadyRegistered_) {
        return *this;
    }
    BindingFunction& bound = function();
    const std::size_t index = bound.arguments.size();
    const RouteInvoker* invoker = info_->invoker();
    KIV_ASSERT(invoker != nullptr && index < invoker->argumentCount(),
               "every declared argument is a parameter of the route's handler");
    BindingArgument declared;
    declared.name = name;
    declared.description = description;
    if (invoker != nullptr) {
        declared.type = invoker->argumentType(index, *registry_);
    }
    declared.optional = optional;
    bound.arguments.push_back(std::move(declared));
    info_->setLocation(index, location);
    return *this;
}

RouteBuilder& RouteBuilder::setDescription(std::string_view description) {
    if (!alreadyRegistered_) {
        function().description = description;
    }
    return *this;
}

RouteBuilder& RouteBuilder::setHelp(std::string_view help) {
    if (!alreadyRegistered_) {
        function().help = help;
    }
    return *this;
}

Router::Router(BindingRegistry& registry, std::shared_ptr<platform::EntryGate> gate)
    : registry_(registry), gate_(gate ? std::move(gate) : std::make_shared<platform::EntryGate>()),
      records_(std::make_unique<HttpFunctionRecords>()) {}

Router::~Router() {
    // A request that resolved its context before the records withdraw it waits on this lock, and
    // then finds the gate closed instead of a router being destroyed.
    std::lock_guard entry(gate_->entryLock());
    gate_->close();
}

RouteBuilder Router::registerRoute(HttpMethod method, std::string_view customMethod,
                                   std::string_view pathTemplate, std::unique_ptr<RouteInvoker> invoker,
                                   std::span<const std::string> tags) {
    KIV_ASSERT(invoker != nullptr, "a route has a handler");
    const std::string_view methodWord = method == HttpMethod::Custom ? customMethod : httpMethodWord(method);
    auto candidate = std::make_unique<BindingFunction>();
    candidate->name = MakeFunctionName(methodWord, pathTemplate);
    candidate->returns = invoker->resultType(registry_);
    BindingFunction& function = *registry_.registerFunction(std::move(candidate)).function;

    const InfoLookup lookup = functionInfo(function);
    if (!lookup.created) {
        return RouteBuilder(registry_, *lookup.info, true);
    }
    FunctionHttpInfo& info = *lookup.info;
    info.setInvoker(std::move(invoker));
    if (pathTemplate.size() > 1 && pathTemplate.back() == '/') {
        pathTemplate.remove_suffix(1);
    }
    info.setPathTemplate(pathTemplate);
    info.method = method;
    info.customMethod = method == HttpMethod::Custom ? customMethod : std::string_view();
    appendTags(function.tags, tags);
    return RouteBuilder(registry_, info, false);
}

Router::InfoLookup Router::functionInfo(BindingFunction& function) {
    std::lock_guard lock(mutex_);
    auto [position, created] = infos_.try_emplace(&function);
    if (created) {
        try {
            position->second = std::make_unique<FunctionHttpInfo>(function);
            order_.push_back(position->second.get());
        } catch (...) {
            infos_.erase(position);
            throw;
        }
    }
    return {position->second.get(), created};
}

std::vector<FunctionHttpInfo*> Router::functionInfos() const {
    std::lock_guard lock(mutex_);
    return order_;
}

const ApiExport& Router::exportApi() {
    const ApiExport& registryExport = registry_.exportApi();
    const std::vector<FunctionHttpInfo*> infos = functionInfos();
    return records_->rebuild({gate_, &registry_}, registryExport, infos);
}

} // namespace kiv
