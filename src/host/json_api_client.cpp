#include "host/json_api_client.h"

#include "format/message_format.h"
#include "host/streamed_body.h"
#include "value/flat_member_integers.h"
#include "value/flat_value.h"
#include "value/json_reader.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace kiv {

namespace {

constexpr std::string_view kErrorResponse = "Error response for {method} {url}: {error}";
constexpr std::string_view kErrorReadingStream =
    "Error reading streamed response for {method} {url}: {error}";
constexpr std::string_view kErrorConverting = "Error converting response for {method} {url}: {error}";

// What a failure is put down to when its own text was lost. A failure loses its text only when
// there was no memory to keep it (a conversion result or a flat record without an error text, a
// failed answer whose writer could not copy its text), so it names that cause, in the words the
// conversions use for a failed allocation (failureTextOfCurrentException); the memory-exhaustion
// tests hold the two texts together.
constexpr std::string_view kOutOfMemory = "Out of memory.";

std::string_view causeOf(std::string_view failureText) noexcept {
    return failureText.empty() ? kOutOfMemory : failureText;
}

std::uint32_t hostMethodCode(HttpMethod method) noexcept {
    const auto code = static_cast<std::uint32_t>(method);
    const bool known = code >= KIV_HTTP_METHOD_DELETE && code <= KIV_HTTP_METHOD_CUSTOM;
    return known ? code : std::uint32_t{KIV_HTTP_METHOD_NONE};
}

// Releases the answer on every way out of a request.
struct HeldResponse {
    HostResponse response{};
    ~HeldResponse() { releaseResponse(response); }
};

// Releases a flat reading's failure on every way out.
struct HeldFailure {
    FlatResult result{};
    ~HeldFailure() { releaseFlat(result); }
};

void releaseBody(HostResponse& response) noexcept {
    const BodyReleaseFn release = response.releaseBody;
    void* const stream = response.bodyStream;
    // Forgotten before the call, so that no later path can run it a second time.
    response.readBody = nullptr;
    response.releaseBody = nullptr;
    response.bodyStream = nullptr;
    if (release) {
        release(stream);
    }
}

} // namespace

void releaseResponse(HostResponse& response) noexcept {
    releaseBody(response);
    if (const ResponseReleaseFn release = response.release) {
        release(&response);
    }
}

ApiError JsonApiClient::conversionError(HttpMethod method, std::string_view path, std::string_view message) {
    return makeApiError(kErrorConverting, httpMethodWord(method), path, causeOf(message));
}

ApiResult<std::vector<std::int64_t>>
JsonApiClient::requestMemberIntegers(HttpMethod method, std::string_view path, std::string_view key) const {
    HeldResponse held;
    if (ApiResult<void> sent = requestRaw(held.response, method, path); !sent.ok()) {
        return sent.error();
    }
    if (held.response.readBody) {
        const ApiResult<Value> list = listOnly(readStreamedAnswer(held.response, method, path), method, path);
        if (!list.ok()) {
            return list.error();
        }
        std::vector<std::int64_t> integers;
        integers.reserve(list.value().size());
        for (const Value& element : list.value().elements()) {
            integers.push_back(element[key].asInteger(0));
        }
        return integers;
    }
    HeldFailure failure;
    {
        std::vector<std::int64_t> integers;
        if (flatMemberIntegers(held.response.result.value, key, integers, kResultName, failure.result)) {
            const std::uint32_t kind = held.response.result.value.kind; // read out of the packed record
            if (kind != KIV_FLAT_COLLECTION) {
                return notAListError(method, path);
            }
            return integers;
        }
    } // what the reading kept goes first
    return flatReadingError(held.response, failure.result, method, path);
}

ApiResult<Value> JsonApiClient::listOnly(ApiResult<Value> answer, HttpMethod method,
                                         std::string_view path) const {
    if (!answer.ok() || answer.value().isCollection()) {
        return answer;
    }
    answer.value() = Value(); // the refused answer goes first, to make room for the error
    return notAListError(method, path);
}

// The conversion to a vector refuses whatever is not a Collection before it reads it, in its own
// words, which are the error of a list read.
ApiError JsonApiClient::notAListError(HttpMethod method, std::string_view path) const {
    std::vector<Value> refused;
    ConversionResult conversion;
    assignNative(conversion, refused, Value(), kResultName, registry_);
    const std::string failure(conversion.errorText());
    return conversionError(method, path, failure);
}

ApiError JsonApiClient::flatReadingError(HostResponse& response, const FlatResult& failure, HttpMethod method,
                                         std::string_view path) {
    releaseResponse(response);
    std::memset(&response, 0, sizeof response); // released once, whatever the host's routine left
    return conversionError(method, path, failure.error ? failure.error : "");
}

ApiResult<void> JsonApiClient::requestRaw(HostResponse& response, HttpMethod method,
                                          std::string_view path) const {
    const std::string pathText(path);
    HostRequest request{};
    request.method = hostMethodCode(method);
    request.path = pathText.c_str();
    request.userData = host_.context();
    std::memset(&response, 0, sizeof response);
    host_.sendRequest(response, request);
    const char* const error = response.result.error;
    if (error != nullptr || response.result.failed != 0) {
        return makeApiError(kErrorResponse, httpMethodWord(method), path, causeOf(error ? error : ""),
                            static_cast<std::int32_t>(response.status));
    }
    return {};
}

ApiResult<Value> JsonApiClient::requestGenericValue(HttpMethod method, std::string_view path) const {
    HeldResponse held;
    if (ApiResult<void> sent = requestRaw(held.response, method, path); !sent.ok()) {
        return sent.error();
    }
    if (held.response.readBody) {
        return readStreamedAnswer(held.response, method, path);
    }
    HeldFailure failure;
    {
        Value generic;
        if (flatToValue(held.response.result.value, generic, kResultName, failure.result)) {
            return generic;
        }
    } // what the reading built goes first
    return flatReadingError(held.response, failure.result, method, path);
}

ApiResult<void> JsonApiClient::requestInto(HttpMethod method, std::string_view path,
                                           ResourceReader& reader) const {
    HeldResponse held;
    if (ApiResult<void> sent = requestRaw(held.response, method, path); !sent.ok()) {
        return sent.error();
    }
    if (held.response.readBody) {
        const ApiResult<Value> tree = readStreamedAnswer(held.response, method, path);
        if (!tree.ok()) {
            return tree.error();
        }
        reader.readTree(tree.value());
        return {};
    }
    HeldFailure failure;
    if (reader.readFlat(held.response.result.value, failure.result)) {
        return {};
    }
    return flatReadingError(held.response, failure.result, method, path);
}

ApiResult<Value> JsonApiClient::readStreamedAnswer(HostResponse& response, HttpMethod method,
                                                   std::string_view path) const {
    ConversionResult body = readStreamedBody(response);
    if (body.ok()) {
        return std::move(body.value());
    }
    const std::string failure(body.errorText());
    body = ConversionResult(); // what the reading left goes first, to make room for the error
    return makeApiError(kErrorReadingStream, httpMethodWord(method), path, causeOf(failure));
}

ConversionResult JsonApiClient::readStreamedBody(HostResponse& response) const {
    ConversionResult result;
    result.guard([&] {
        std::string text;
        const std::uint64_t announced = response.bodyLength; // read out of the packed record
        text.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(announced, kStreamedBodyReserveLimit)));
        std::array<char, kStreamChunkSize> buffer;
        std::uint8_t moreData = 1;
        while (moreData && response.readBody) {
            auto length = static_cast<std::uint32_t>(buffer.size());
            if (!response.readBody(response.bodyStream, buffer.data(), &length, &moreData) ||
                length > buffer.size()) {
                result.setError(kStreamReadError);
                break;
            }
            if (length > kStreamedBodyLimit - text.size()) {
                result.setError(formatMessage(kStreamedBodyTooLong, {kStreamedBodyLimit}));
                break;
            }
            text.append(buffer.data(), length);
            if (length < buffer.size() && moreData) {
                host_.yieldWhileWaiting(kYieldWaitLabel);
            }
        }
        if (result.ok()) {
            result = parseJson(text);
        }
    });
    releaseBody(response);
    return result;
}

} // namespace kiv
