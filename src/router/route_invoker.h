// The object that turns a function's argument values into a call of its handler. The
// dispatcher prepares a call with the bound argument values, invokes it, and releases it by
// destroying the prepared call once the response is written.
#pragma once

#include "binding/binding_function.h"
#include "binding/binding_type_id.h"
#include "binding/binding_type_ref.h"
#include "value/value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kiv {

class BindingRegistry;
class CallContext;
struct RequestInfo;

// The native arguments of one call, between prepare and invoke.
class PreparedCall {
  public:
    virtual ~PreparedCall() = default;
};

class RouteInvoker {
  public:
    virtual ~RouteInvoker() = default;

    // Converts the argument values (one per argument of `function`) into native arguments.
    // A conversion failure is recorded in the context. Null when there is nothing to call.
    [[nodiscard]] virtual std::unique_ptr<PreparedCall> prepare(CallContext& context,
                                                                const BindingFunction& function,
                                                                const std::vector<Value>& arguments,
                                                                std::uintptr_t userData) = 0;
    // Calls the handler and stores its result, or its failure, in the context. `request` is
    // given when requestType() is a request-information identity.
    virtual void invoke(CallContext& context, const RequestInfo* request, PreparedCall& call,
                        std::uintptr_t userData) = 0;
    // The identity of the request-information parameter the handler takes, or null.
    virtual const BindingTypeId* requestType() const noexcept = 0;

    // The handler's bound parameters, for declaring the function's arguments and result.
    virtual std::size_t argumentCount() const noexcept = 0;
    [[nodiscard]] virtual BindingTypeRef argumentType(std::size_t index,
                                                      const BindingRegistry& registry) const = 0;
    [[nodiscard]] virtual BindingTypeRef resultType(const BindingRegistry& registry) const = 0;
};

} // namespace kiv
