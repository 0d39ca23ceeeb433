#include "router/response_writer.h"

#include "value/conversion_result.h"
#include "value/flat_record.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <utility>

namespace kiv {
namespace {

// The context text of a response without one; never freed.
constexpr char kSharedEmptyText[] = "";

char* copyText(std::string_view text) {
    auto* copy = new char[text.size() + 1];
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

// Without memory for the text the record still reports the failure.
void setErrorText(HostResponse& response, std::string_view message) noexcept {
    releaseFlat(response.result);
    char* text = nullptr;
    try {
        text = copyText(message);
    } catch (...) {
    }
    response.result.error = text;
    response.result.failed = 1;
}

std::uint8_t KIV_CDECL readResponseBody(void* stream, char* buffer, std::uint32_t* length,
                                        std::uint8_t* moreData) noexcept {
    if (stream == nullptr || length == nullptr || moreData == nullptr) {
        return 0;
    }
    try {
        return static_cast<ResponseBodyStream*>(stream)->read(buffer, length, moreData) ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

void KIV_CDECL releaseResponseBody(void* stream) noexcept {
    delete static_cast<ResponseBodyStream*>(stream);
}

void copyHeaders(HostResponse& response, const std::map<std::string, std::string>& headers) {
    if (headers.empty()) {
        return;
    }
    // The array is in the record before it is filled, so a failure halfway leaves nothing
    // that the release routine cannot free.
    response.headers = new HostHeader[headers.size()]();
    response.headerCount = static_cast<std::uint32_t>(headers.size());
    std::size_t i = 0;
    for (const auto& [name, value] : headers) {
        response.headers[i].name = copyText(name);
        response.headers[i].value = copyText(value);
        ++i;
    }
}

void fill(HostResponse& response, CallContext& context) {
    if (!context.ok()) {
        setErrorText(response, context.errorText());
    } else {
        response.result.value = std::exchange(context.answer(), FlatValue{});
    }
    response.contextFlag = context.hostFlag;
    response.contextCode = context.hostCode >= 1 && context.hostCode <= 3 ? context.hostCode : 0;
    response.status = context.status;
    response.contextText = context.hostText.empty() ? kSharedEmptyText : copyText(context.hostText);
    copyHeaders(response, context.headers);
    if (ResponseBodyStream* body = context.body()) {
        const std::uint32_t length = body->announcedLength();
        response.readBody = &readResponseBody;
        response.releaseBody = &releaseResponseBody;
        response.bodyLength = length;
        response.bodyStream = context.takeBody().release();
    }
}

} // namespace

void KIV_CDECL releaseResponse(HostResponse* response) noexcept {
    if (response == nullptr) {
        return;
    }
    releaseFlat(response->result);
    if (response->contextText != kSharedEmptyText) {
        delete[] response->contextText;
    }
    if (HostHeader* headers = response->headers) {
        for (std::uint32_t i = 0; i < response->headerCount; ++i) {
            delete[] headers[i].name;
            delete[] headers[i].value;
        }
        delete[] headers;
    }
    std::memset(static_cast<void*>(response), 0, sizeof *response);
}

void resetResponse(HostResponse& response) noexcept {
    // Packed fields are read into locals before calls: the routine sits at an odd offset.
    if (const ResponseReleaseFn release = response.release; release != nullptr) {
        release(&response);
    }
    std::memset(static_cast<void*>(&response), 0, sizeof response);
    response.release = &releaseResponse;
}

void writeErrorResponse(HostResponse& response, std::string_view message, std::uint32_t status) noexcept {
    setErrorText(response, message);
    response.status = status;
}

void writeResponse(HostResponse& response, CallContext& context) noexcept {
    try {
        fill(response, context);
    } catch (...) {
        const std::string_view message = failureTextOfCurrentException();
        resetResponse(response);
        writeErrorResponse(response, message, context.status);
    }
}

} // namespace kiv
