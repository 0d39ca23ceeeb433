// The request body, decoded by its content type into the function's body parameter.
#pragma once

#include "binding/binding_function.h"
#include "kiv/plugin_abi.h"
#include "router/call_context.h"
#include "router/function_http_info.h"
#include "value/value.h"

#include <vector>

namespace kiv {

// When the request has a body and the function a parameter located in the body, decodes
// exactly the body's bytes as MessagePack ("application/x-msgpack", which must take every
// byte), JSON ("application/json", "application/vnd.api+json") or YAML
// ("application/x-yaml"), content types compared by their start ignoring case. A failure
// replaces any earlier error of the call: this stage runs whatever happened before.
void decodeRequestBody(CallContext& context, std::vector<Value>& arguments, const FunctionHttpInfo& info,
                       const HostRequest& request);

} // namespace kiv
