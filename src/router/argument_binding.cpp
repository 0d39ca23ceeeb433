#include "router/argument_binding.h"

#include "format/message_format.h"
#include "platform/invariant.h"
#include "router/router_messages.h"
#include "router/text_prefix.h"
#include "value/flat_value.h"
#include "value/json_reader.h"
#include "value/msgpack_reader.h"
#include "value/number_reading.h"
#include "value/yaml_reader.h"

#include <cstdint>
#include <span>
#include <utility>

namespace kiv {
namespace {

namespace messages = router_messages;

constexpr std::uint64_t kMaxIndex = 2147483647;

bool isDecimalDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// Whether the text of a parameter of this kind may choose its own format.
bool allowsDetection(BindingTypeKind kind) noexcept {
    return kind == BindingTypeKind::Object || kind == BindingTypeKind::Vector ||
           kind == BindingTypeKind::Struct;
}

void storeDecoded(CallContext& context, Value& target, ConversionResult& decoded,
                  std::string_view failureTemplate, const BindingFunction& function,
                  const BindingArgument& parameter) {
    if (!decoded.ok()) {
        context.setError(
            formatMessage(failureTemplate, {parameter.name, function.name, decoded.errorText()}));
        return;
    }
    target = std::move(decoded.value());
}

class ArgumentBinder {
  public:
    ArgumentBinder(CallContext& context, std::vector<Value>& arguments, const BindingFunction& function,
                   const FunctionHttpInfo& info)
        : context_(context), arguments_(arguments), function_(function), info_(info) {}

    template <class Texts> void bindAll(const Texts& texts, ArgumentLocation source) {
        for (const auto& [name, text] : texts) {
            if (!context_.ok()) {
                return;
            }
            bind(name, text, source);
        }
    }

  private:
    void bind(std::string_view name, std::string_view text, ArgumentLocation source) {
        const std::size_t dot = name.find('.');
        const std::string_view parameterName = name.substr(0, dot);
        const std::size_t index = parameterIndex(parameterName);
        if (index == function_.arguments.size()) {
            context_.setError(formatMessage(messages::kUnknownArgument, {parameterName, function_.name}));
            return;
        }
        const ArgumentLocation location = info_.locationOf(index);
        if (location != ArgumentLocation::Any && location != source) {
            context_.setError(formatMessage(messages::kInvalidLocation, {parameterName, function_.name}));
            return;
        }
        const BindingArgument& parameter = function_.arguments[index];
        if (dot == std::string_view::npos) {
            bindWhole(parameter, arguments_[index], text);
            return;
        }
        Value* reached = reach(arguments_[index], name, dot);
        if (reached != nullptr) {
            DecodeTextArgument(context_, *reached, function_, parameter, text, {}, false);
        }
    }

    std::size_t parameterIndex(std::string_view name) const noexcept {
        std::size_t index = 0;
        while (index < function_.arguments.size() && function_.arguments[index].name != name) {
            ++index;
        }
        return index;
    }

    void bindWhole(const BindingArgument& parameter, Value& value, std::string_view text) {
        if (!text.empty()) {
            DecodeTextArgument(context_, value, function_, parameter, text, {},
                               allowsDetection(parameter.type.kind));
            return;
        }
        switch (parameter.type.kind) {
        case BindingTypeKind::Bool:
            value.setBool(true);
            break;
        case BindingTypeKind::Object:
        case BindingTypeKind::Struct:
            value.setEmpty();
            value.makeStructure();
            break;
        case BindingTypeKind::Vector:
            value.setEmpty();
            value.makeCollection();
            break;
        default:
            context_.setError(formatMessage(messages::kExpectedValue, {parameter.name}));
            break;
        }
    }

    // Follows the components after the first dot of `name` from the argument's value,
    // creating members and elements on the way; null after recording an error.
    Value* reach(Value& argument, std::string_view name, std::size_t dot) {
        Value* current = &argument;
        std::size_t start = dot + 1;
        for (;;) {
            const std::size_t end = name.find('.', start);
            const std::string_view component = name.substr(start, end - start);
            if (!component.empty() && isDecimalDigit(component.front())) {
                current = element(*current, component, name.substr(0, start - 1));
                if (current == nullptr) {
                    return nullptr;
                }
            } else {
                current = &current->member(component);
            }
            if (end == std::string_view::npos) {
                return current;
            }
            start = end + 1;
        }
    }

    Value* element(Value& collection, std::string_view component, std::string_view nameSoFar) {
        const UnsignedPrefix index = readUnsignedPrefix(component);
        if (index.consumed != component.size()) {
            context_.setError(formatMessage(messages::kIndexIncorrectFormat, {component}));
            return nullptr;
        }
        if (index.overflow || index.value > kMaxIndex) {
            context_.setError(formatMessage(messages::kIndexOutOfRange, {component}));
            return nullptr;
        }
        const std::size_t size = collection.isCollection() ? collection.size() : 0;
        if (index.value > size + kMaxIndexGrowth) {
            context_.setError(
                formatMessage(messages::kIndexTooFarPastEnd, {component, kMaxIndexGrowth, nameSoFar}));
            return nullptr;
        }
        return &collection.element(static_cast<std::size_t>(index.value));
    }

    CallContext& context_;
    std::vector<Value>& arguments_;
    const BindingFunction& function_;
    const FunctionHttpInfo& info_;
};

} // namespace

void BindArguments(CallContext& context, std::vector<Value>& arguments, const BindingFunction& function,
                   const FunctionHttpInfo& info, const NamedTexts& queryValues, const PathValues& pathValues,
                   const NamedTexts& headerValues) {
    const auto& parameters = function.arguments;
    arguments.resize(parameters.size());
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].type.kind == BindingTypeKind::Bool && !parameters[i].optional &&
            arguments[i].isEmpty()) {
            arguments[i].setBool(false);
        }
    }
    ArgumentBinder binder(context, arguments, function, info);
    binder.bindAll(headerValues.entries(), ArgumentLocation::Header);
    binder.bindAll(pathValues, ArgumentLocation::Path);
    binder.bindAll(queryValues.entries(), ArgumentLocation::Query);
}

void bindHostArguments(CallContext& context, std::vector<Value>& arguments, const BindingFunction& function,
                       const HostRequest& request, std::size_t pathValueCount) {
    if (request.arguments == nullptr) {
        return;
    }
    const auto& parameters = function.arguments;
    KIV_ASSERT(arguments.size() == parameters.size(), "BindArguments sized the argument values");
    for (std::uint32_t i = 0; i < request.argumentCount && context.ok(); ++i) {
        const HostArgument& entry = request.arguments[i];
        std::size_t index = i + pathValueCount;
        if (entry.name != nullptr) {
            index = 0;
            while (index < parameters.size() && parameters[index].name != entry.name) {
                ++index;
            }
            if (index == parameters.size()) {
                context.setError(formatMessage(messages::kUnknownArgument, {entry.name, function.name}));
                return;
            }
        } else if (index >= parameters.size()) {
            context.setError(formatMessage(messages::kUnknownArgument, {index, function.name}));
            return;
        }
        FlatResult failure{};
        if (!flatToValue(entry.value, arguments[index], parameters[index].name, failure)) {
            context.setError(hostText(failure.error));
        }
        releaseFlat(failure);
    }
}

void DecodeTextArgument(CallContext& context, Value& target, const BindingFunction& function,
                        const BindingArgument& parameter, std::string_view text, std::string_view contentType,
                        bool detectionAllowed) {
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());
    if (startsWithIgnoringCase(contentType, "application/x-msgpack") ||
        (detectionAllowed && contentType.empty() && looksLikeMsgpack(bytes))) {
        MsgpackDecoding decoding = decodeMsgpack(bytes);
        storeDecoded(context, target, decoding.result, messages::kMsgpackArgument, function, parameter);
    } else if (startsWithIgnoringCase(contentType, "application/json") ||
               (detectionAllowed && looksLikeJson(text))) {
        ConversionResult parsed = parseJson(text);
        storeDecoded(context, target, parsed, messages::kJsonArgument, function, parameter);
    } else if (startsWithIgnoringCase(contentType, "text/x-yaml") ||
               (detectionAllowed && looksLikeYaml(text))) {
        ConversionResult parsed = parseYaml(text);
        storeDecoded(context, target, parsed, messages::kYamlArgument, function, parameter);
    } else if (startsWithIgnoringCase(contentType, "application/octet-stream")) {
        target.setBlob(bytes);
    } else {
        target.setString(text);
    }
}

} // namespace kiv
