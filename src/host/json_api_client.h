// Requests to other plugins' resources through the host, answered synchronously, whole or as a
// streamed body, and converted with the plugin's registry.
#pragma once

#include "binding/native_conversion.h"
#include "host/api_result.h"
#include "host/event_payload.h"
#include "host/host_port.h"
#include "host/resource_reader.h"
#include "router/http_method.h"
#include "value/conversion_result.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kiv {

class JsonApiClient {
  public:
    JsonApiClient(const HostPort& host, const BindingRegistry& registry) noexcept
        : host_(host), registry_(registry) {}

    // Sends the request and leaves the host's answer in `response`, which the caller releases
    // with releaseResponse. An answer with an error text, or marked failed, is an error with the
    // answer's status.
    ApiResult<void> requestRaw(HostResponse& response, HttpMethod method, std::string_view path) const;

    // The answer (whole or streamed) as a value of type T.
    template <class T> ApiResult<T> requestValue(HttpMethod method, std::string_view path) const;
    // The integer that member `key` of each element of the answer's Collection gives, as
    // `element[key].asInteger(0)` reads it on the answer read as a tree, or the error of
    // requestValue<std::vector<Value>>. A flat answer is read without a tree
    // (flatMemberIntegers): it costs one integer per element, and the list may be longer than a
    // tree conversion allows. A streamed body is read as a tree.
    ApiResult<std::vector<std::int64_t>> requestMemberIntegers(HttpMethod method, std::string_view path,
                                                               std::string_view key) const;

    // Reads the answer into `reader`: a flat answer as the host's record, a streamed one as the
    // tree parsed from it. A record the reader cannot read is an error with the reader's message.
    ApiResult<void> requestInto(HttpMethod method, std::string_view path, ResourceReader& reader) const;

    // Reads a streamed body to its end and parses it as JSON; runs the body's release callback.
    [[nodiscard]] ConversionResult readStreamedBody(HostResponse& response) const;

  private:
    [[nodiscard]] ApiResult<Value> requestGenericValue(HttpMethod method, std::string_view path) const;
    [[nodiscard]] ApiResult<Value> readStreamedAnswer(HostResponse& response, HttpMethod method,
                                                      std::string_view path) const;
    // The answer if it is a Collection, else the error of a list read.
    [[nodiscard]] ApiResult<Value> listOnly(ApiResult<Value> answer, HttpMethod method,
                                            std::string_view path) const;
    [[nodiscard]] ApiError notAListError(HttpMethod method, std::string_view path) const;
    // Releases the answer whose flat record failed to read, to make room for the error.
    [[nodiscard]] static ApiError flatReadingError(HostResponse& response, const FlatResult& failure,
                                                   HttpMethod method, std::string_view path);
    [[nodiscard]] static ApiError conversionError(HttpMethod method, std::string_view path,
                                                  std::string_view message);

    const HostPort& host_;
    const BindingRegistry& registry_;
};

// Runs the body's release callback (once: the record forgets it) and then the record's own
// release routine. Safe on a record that holds nothing.
void releaseResponse(HostResponse& response) noexcept;

template <class T> ApiResult<T> JsonApiClient::requestValue(HttpMethod method, std::string_view path) const {
    ApiResult<Value> answer = requestGenericValue(method, path);
    if (!answer.ok()) {
        return answer.error();
    }
    // A Value answer is the tree read from the host's record, handed on as it is: now that a large
    // object read in member order builds in linear time, copying it cost a login packet of 5,000
    // queues a sixth of its time and saved nothing.
    if constexpr (std::is_same_v<T, Value>) {
        return std::move(answer.value());
    }
    std::string failure;
    {
        T native{};
        ConversionResult conversion;
        assignNative(conversion, native, answer.value(), kResultName, registry_);
        if (conversion.ok()) {
            return native;
        }
        failure = conversion.errorText();
    }
    // What the conversion built is gone by now, and the answer goes too, which makes room for the
    // error when the conversion ran out of memory.
    answer.value() = Value();
    return conversionError(method, path, failure);
}

} // namespace kiv
