// Binding request texts to a function's argument values: from headers, the path and the
// query, by parameter name, with dotted names reaching into structures and collections.
#pragma once

#include "binding/binding_function.h"
#include "kiv/plugin_abi.h"
#include "router/call_context.h"
#include "router/function_http_info.h"
#include "router/request_texts.h"
#include "router/route.h"
#include "value/value.h"

#include <cstddef>
#include <string_view>
#include <vector>

namespace kiv {

// One index in a dotted name may grow a collection by at most this many elements past its
// end, so that a short name cannot make millions of values.
inline constexpr std::size_t kMaxIndexGrowth = 1024;

// Sizes `arguments` to the function's parameters (a required bool that is still Empty
// becomes false), then binds the header, path and query texts, in that order, stopping at
// the first error, which is recorded in the context.
void BindArguments(CallContext& context, std::vector<Value>& arguments, const BindingFunction& function,
                   const FunctionHttpInfo& info, const NamedTexts& queryValues, const PathValues& pathValues,
                   const NamedTexts& headerValues);

// The host's own arguments, in order, while no error is recorded: a named one goes to the
// parameter of that name, an unnamed one at position i to parameter i + pathValueCount.
void bindHostArguments(CallContext& context, std::vector<Value>& arguments, const BindingFunction& function,
                       const HostRequest& request, std::size_t pathValueCount);

// Decodes one text into `target` for `parameter` of `function`. The content type selects
// MessagePack, JSON, YAML or a Blob by its start (ignoring case); with detection allowed the
// text itself may select MessagePack (a map or array header, and no content type), JSON
// ("{" or "[") or YAML ("---"). Anything else is stored as a String, for the invoker to
// convert. A text that does not decode records the decoder's message in the context.
void DecodeTextArgument(CallContext& context, Value& target, const BindingFunction& function,
                        const BindingArgument& parameter, std::string_view text, std::string_view contentType,
                        bool detectionAllowed);

} // namespace kiv
