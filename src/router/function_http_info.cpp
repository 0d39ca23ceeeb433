#include "router/function_http_info.h"

#include "router/route_invoker.h"

#include <utility>

namespace kiv {

FunctionHttpInfo::FunctionHttpInfo(BindingFunction& function)
    : function_(&function),
      pattern_(std::make_shared<const PathPattern>(PathPattern::compile(function.name))),
      argumentLocations_(function.arguments.size(), ArgumentLocation::Any) {}

FunctionHttpInfo::~FunctionHttpInfo() = default;

void FunctionHttpInfo::setInvoker(std::unique_ptr<RouteInvoker> invoker) noexcept {
    invoker_ = std::move(invoker);
}

void FunctionHttpInfo::setPathTemplate(std::string_view pathTemplate) {
    pathTemplate_ = pathTemplate;
    const std::string_view path = pathTemplate_.empty() ? std::string_view(function_->name) : pathTemplate_;
    pattern_ = std::make_shared<const PathPattern>(PathPattern::compile(path));
}

ArgumentLocation FunctionHttpInfo::locationOf(std::size_t argument) const noexcept {
    return argument < argumentLocations_.size() ? argumentLocations_[argument] : ArgumentLocation::Any;
}

void FunctionHttpInfo::setLocation(std::size_t argument, ArgumentLocation location) {
    if (argument >= argumentLocations_.size()) {
        argumentLocations_.resize(argument + 1, ArgumentLocation::Any);
    }
    argumentLocations_[argument] = location;
}

} // namespace kiv
