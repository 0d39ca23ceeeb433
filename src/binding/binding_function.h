// Bound functions: what the registry knows of a callable the plugin exposes.
#pragma once

#include "binding/binding_type_ref.h"

#include <memory>
#include <string>
#include <vector>

namespace kiv {

// The object that carries out calls of a bound function (the router's invoker derives from
// it). The function descriptor owns it and destroys it when the function is unregistered.
class BindingInvoker {
  public:
    virtual ~BindingInvoker() = default;
};

struct BindingArgument {
    std::string name;
    std::string description;
    BindingTypeRef type;         // what help and conversion use
    BindingTypeRef overrideType; // what the host export shows, when its kind is not None
    bool optional = false;

    const BindingTypeRef& exportedType() const noexcept {
        return overrideType.kind != BindingTypeKind::None ? overrideType : type;
    }
};

struct BindingFunction {
    std::string name;
    std::string nameSpace;
    std::vector<BindingArgument> arguments;
    BindingTypeRef returns;
    BindingTypeRef returnsOverride;
    std::string description;
    std::string help;
    bool threadSafe = false;
    // An asynchronous function's return type names the structure that carries the outcome.
    bool async = false;
    std::vector<std::string> tags;
    std::unique_ptr<BindingInvoker> invoker;

    const BindingTypeRef& exportedReturns() const noexcept {
        return returnsOverride.kind != BindingTypeKind::None ? returnsOverride : returns;
    }
};

} // namespace kiv
