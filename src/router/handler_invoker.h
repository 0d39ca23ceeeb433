// The invoker of a native handler: a function object or function pointer whose parameters
// are the route's arguments, in declaration order, and whose result is the response value.
//
//     [](CallContext& call, std::int32_t queueId) -> QueueShutdownStatus { ... }
//
// Parameters of three types are supplied by the router instead of being bound: `CallContext&`
// (to fail with a status, add headers or stream a body), and `const RequestInfo&` or
// `const RequestInfo*` (the request's details). Every other parameter is an argument: its
// C++ type gives its binding type, and the argument's value is converted to it with the
// binding layer's rules. A `void` handler answers with an Empty value.
#pragma once

#include "binding/binding_registry.h"
#include "binding/native_conversion.h"
#include "router/call_context.h"
#include "router/request_info.h"
#include "router/route_invoker.h"
#include "value/conversion_result.h"

#include <array>
#include <cstddef>
#include <exception>
#include <memory>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

namespace kiv {

namespace handler_detail {

enum class ParameterRole { Argument, Context, RequestReference, RequestPointer };

template <class P> constexpr ParameterRole roleOf() noexcept {
    if constexpr (std::is_same_v<P, CallContext&>) {
        return ParameterRole::Context;
    } else if constexpr (std::is_same_v<P, const RequestInfo&>) {
        return ParameterRole::RequestReference;
    } else if constexpr (std::is_same_v<P, const RequestInfo*>) {
        return ParameterRole::RequestPointer;
    } else {
        return ParameterRole::Argument;
    }
}

// What a prepared call keeps for each parameter: the native argument, or nothing.
template <class P>
using StorageOf =
    std::conditional_t<roleOf<P>() == ParameterRole::Argument, std::remove_cvref_t<P>, std::monostate>;

template <class F> struct Signature : Signature<decltype(&F::operator())> {};
template <class R, class... P> struct Signature<R (*)(P...)> {
    using Result = R;
    using Parameters = std::tuple<P...>;
};
template <class R, class... P> struct Signature<R (*)(P...) noexcept> : Signature<R (*)(P...)> {};
template <class C, class R, class... P> struct Signature<R (C::*)(P...)> : Signature<R (*)(P...)> {};
template <class C, class R, class... P> struct Signature<R (C::*)(P...) const> : Signature<R (*)(P...)> {};
template <class C, class R, class... P> struct Signature<R (C::*)(P...) noexcept> : Signature<R (*)(P...)> {};
template <class C, class R, class... P>
struct Signature<R (C::*)(P...) const noexcept> : Signature<R (*)(P...)> {};

// The text of a handler's exception.
std::string_view handlerFailureText() noexcept;

const RequestInfo& emptyRequestInfo() noexcept;

template <class Handler, class R, class Parameters> class NativeInvoker;

template <class Handler, class R, class... P>
class NativeInvoker<Handler, R, std::tuple<P...>> final : public RouteInvoker {
    static constexpr std::array<ParameterRole, sizeof...(P)> kRoles = {roleOf<P>()...};

    // The argument index of every parameter: arguments are counted over bound parameters only.
    static constexpr std::array<std::size_t, sizeof...(P)> argumentIndexes() noexcept {
        std::array<std::size_t, sizeof...(P)> indexes{};
        std::size_t next = 0;
        for (std::size_t i = 0; i < sizeof...(P); ++i) {
            indexes[i] = kRoles[i] == ParameterRole::Argument ? next++ : next;
        }
        return indexes;
    }
    static constexpr std::array<std::size_t, sizeof...(P)> kArgumentIndex = argumentIndexes();
    static constexpr std::size_t kArgumentCount =
        ((roleOf<P>() == ParameterRole::Argument ? 1u : 0u) + ... + std::size_t{0});

    using TypeOf = BindingTypeRef (*)(const BindingRegistry&);
    template <class P1> static constexpr TypeOf typeOf() noexcept {
        if constexpr (roleOf<P1>() == ParameterRole::Argument) {
            return &bindingTypeRefOf<std::remove_cvref_t<P1>>;
        } else {
            return nullptr;
        }
    }
    static constexpr std::array<TypeOf, sizeof...(P)> kTypes = {typeOf<P>()...};

    struct Call final : PreparedCall {
        std::tuple<StorageOf<P>...> values;
    };

  public:
    explicit NativeInvoker(Handler handler) : handler_(std::move(handler)) {}

    std::unique_ptr<PreparedCall> prepare(CallContext& context, const BindingFunction& function,
                                          const std::vector<Value>& arguments, std::uintptr_t) override {
        auto call = std::make_unique<Call>();
        assignAll(context, function, arguments, *call, std::index_sequence_for<P...>{});
        return call;
    }

    void invoke(CallContext& context, const RequestInfo* request, PreparedCall& prepared,
                std::uintptr_t) override {
        Call& call = static_cast<Call&>(prepared);
        try {
            if constexpr (std::is_void_v<R>) {
                callHandler(context, request, call, std::index_sequence_for<P...>{});
            } else {
                const std::remove_cvref_t<R> result =
                    callHandler(context, request, call, std::index_sequence_for<P...>{});
                if (context.ok()) {
                    writeNative(context.result(), result, context.registry(), context.answer());
                }
            }
        } catch (...) {
            context.setError(handlerFailureText());
        }
    }

    const BindingTypeId* requestType() const noexcept override {
        for (const ParameterRole role : kRoles) {
            if (role == ParameterRole::RequestReference) {
                return &bindingTypeIdOf<RequestInfo>();
            }
            if (role == ParameterRole::RequestPointer) {
                return &bindingTypeIdOf<const RequestInfo*>();
            }
        }
        return nullptr;
    }

    std::size_t argumentCount() const noexcept override { return kArgumentCount; }

    BindingTypeRef argumentType(std::size_t index, const BindingRegistry& registry) const override {
        for (std::size_t i = 0; i < sizeof...(P); ++i) {
            if (kRoles[i] == ParameterRole::Argument && kArgumentIndex[i] == index) {
                return kTypes[i](registry);
            }
        }
        return {};
    }

    BindingTypeRef resultType(const BindingRegistry& registry) const override {
        if constexpr (std::is_void_v<R>) {
            return {};
        } else {
            return bindingTypeRefOf<std::remove_cvref_t<R>>(registry);
        }
    }

  private:
    template <std::size_t... I>
    static void assignAll([[maybe_unused]] CallContext& context,
                          [[maybe_unused]] const BindingFunction& function,
                          [[maybe_unused]] const std::vector<Value>& arguments, [[maybe_unused]] Call& call,
                          std::index_sequence<I...>) {
        (assignOne<I>(context, function, arguments, std::get<I>(call.values)), ...);
    }

    // An argument without a value keeps its default when it is optional or undeclared; a
    // required one goes through conversion, which names what is missing.
    template <std::size_t I, class T>
    static void assignOne([[maybe_unused]] CallContext& context,
                          [[maybe_unused]] const BindingFunction& function,
                          [[maybe_unused]] const std::vector<Value>& arguments, [[maybe_unused]] T& target) {
        if constexpr (kRoles[I] == ParameterRole::Argument) {
            const std::size_t index = kArgumentIndex[I];
            if (!context.ok() || index >= function.arguments.size() || index >= arguments.size()) {
                return;
            }
            const BindingArgument& declared = function.arguments[index];
            if (arguments[index].isEmpty() && declared.optional) {
                return;
            }
            assignNative(context.result(), target, arguments[index], declared.name, context.registry());
        }
    }

    template <std::size_t... I>
    decltype(auto) callHandler([[maybe_unused]] CallContext& context,
                               [[maybe_unused]] const RequestInfo* request, [[maybe_unused]] Call& call,
                               std::index_sequence<I...>) {
        return handler_(parameter<I>(context, request, call)...);
    }

    template <std::size_t I>
    static decltype(auto) parameter([[maybe_unused]] CallContext& context,
                                    [[maybe_unused]] const RequestInfo* request,
                                    [[maybe_unused]] Call& call) {
        using P1 = std::tuple_element_t<I, std::tuple<P...>>;
        if constexpr (kRoles[I] == ParameterRole::Context) {
            return static_cast<CallContext&>(context);
        } else if constexpr (kRoles[I] == ParameterRole::RequestReference) {
            return static_cast<const RequestInfo&>(request != nullptr ? *request : emptyRequestInfo());
        } else if constexpr (kRoles[I] == ParameterRole::RequestPointer) {
            return request;
        } else {
            return static_cast<P1&&>(std::get<I>(call.values));
        }
    }

    Handler handler_;
};

} // namespace handler_detail

// The invoker of `handler`, for Router registration.
template <class Handler> std::unique_ptr<RouteInvoker> makeRouteInvoker(Handler handler) {
    using Decayed = std::decay_t<Handler>;
    using Sig = handler_detail::Signature<Decayed>;
    return std::make_unique<
        handler_detail::NativeInvoker<Decayed, typename Sig::Result, typename Sig::Parameters>>(
        std::move(handler));
}

} // namespace kiv
