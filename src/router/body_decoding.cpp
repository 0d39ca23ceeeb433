#include "router/body_decoding.h"

#include "router/request_texts.h"
#include "router/router_messages.h"
#include "router/text_prefix.h"
#include "value/json_reader.h"
#include "value/msgpack_reader.h"
#include "value/yaml_reader.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>

namespace kiv {
namespace {

ConversionResult decodeBody(std::string_view contentType, std::string_view body) {
    if (startsWithIgnoringCase(contentType, "application/x-msgpack")) {
        MsgpackDecoding decoding =
            decodeMsgpack(std::span(reinterpret_cast<const std::uint8_t*>(body.data()), body.size()));
        if (decoding.result.ok() && decoding.consumed != body.size()) {
            decoding.result.setError(router_messages::kExtraMsgpackData);
        }
        return std::move(decoding.result);
    }
    if (startsWithIgnoringCase(contentType, "application/json") ||
        startsWithIgnoringCase(contentType, "application/vnd.api+json")) {
        return parseJson(body);
    }
    if (startsWithIgnoringCase(contentType, "application/x-yaml")) {
        return parseYaml(body);
    }
    ConversionResult unsupported;
    unsupported.setError(router_messages::kUnsupportedBodyContentType);
    return unsupported;
}

} // namespace

void decodeRequestBody(CallContext& context, std::vector<Value>& arguments, const FunctionHttpInfo& info,
                       const HostRequest& request) {
    if (request.body == nullptr) {
        return;
    }
    std::size_t index = 0;
    while (index < arguments.size() && info.locationOf(index) != ArgumentLocation::Body) {
        ++index;
    }
    if (index == arguments.size()) {
        return; // no parameter takes the body
    }
    ConversionResult decoded =
        decodeBody(hostText(request.contentType), std::string_view(request.body, request.bodyLength));
    if (!decoded.ok()) {
        context.setError(decoded.errorText());
        return;
    }
    arguments[index] = std::move(decoded.value());
}

} // namespace kiv
