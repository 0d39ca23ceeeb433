// The HTTP binding of one bound function: its invoker, path template, method and the
// location of each argument. The router creates one per function on its first registration
// and keeps it for the router's life; requests only read it.
#pragma once

#include "binding/binding_function.h"
#include "router/http_method.h"
#include "router/path_pattern.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

class RouteInvoker;

class FunctionHttpInfo {
  public:
    explicit FunctionHttpInfo(BindingFunction& function);
    ~FunctionHttpInfo();
    FunctionHttpInfo(const FunctionHttpInfo&) = delete;
    FunctionHttpInfo& operator=(const FunctionHttpInfo&) = delete;

    BindingFunction& function() const noexcept { return *function_; }

    // Converts the arguments and calls the handler; owned here.
    RouteInvoker* invoker() const noexcept { return invoker_.get(); }
    void setInvoker(std::unique_ptr<RouteInvoker> invoker) noexcept;

    // Empty: the function is addressed by its name.
    const std::string& pathTemplate() const noexcept { return pathTemplate_; }
    // Compiles the path once, here, so that requests only match.
    void setPathTemplate(std::string_view pathTemplate);
    // The compiled template, or the function's name when the template is empty.
    const std::shared_ptr<const PathPattern>& pattern() const noexcept { return pattern_; }

    HttpMethod method = HttpMethod::None;
    std::string customMethod; // with HttpMethod::Custom
    // Published to the host with the function; their meaning is the host's.
    std::uint8_t flags = 0;
    std::vector<std::vector<std::string>> textLists;

    // Any for an argument without a location of its own.
    ArgumentLocation locationOf(std::size_t argument) const noexcept;
    void setLocation(std::size_t argument, ArgumentLocation location);
    const std::vector<ArgumentLocation>& argumentLocations() const noexcept { return argumentLocations_; }

  private:
    BindingFunction* function_;
    std::unique_ptr<RouteInvoker> invoker_;
    std::string pathTemplate_;
    std::shared_ptr<const PathPattern> pattern_;
    std::vector<ArgumentLocation> argumentLocations_;
};

} // namespace kiv
