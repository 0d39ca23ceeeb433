#include "kivhost/core/response_reader.h"

#include "value/flat_value.h"
#include "value/json_reader.h"

#include <cstring>

namespace kiv::kivhost {
namespace {

constexpr std::uint32_t kReadBufferBytes = 4096;
// A stream may report no bytes while more follow; this many such reads in a row mean it never
// will deliver.
constexpr int kMaxEmptyReads = 1000;

// The body's text, or the error that ended the reading.
struct StreamedText {
    std::string text;
    std::optional<std::string> error;
};

StreamedText readStream(BodyReadFn read, void* stream, std::vector<std::string>& faults) {
    StreamedText body;
    char buffer[kReadBufferBytes];
    int emptyReads = 0;
    for (;;) {
        std::uint32_t length = kReadBufferBytes;
        std::uint8_t more = 0;
        if (!read(stream, buffer, &length, &more)) {
            body.error = "Stream read error";
            return body;
        }
        if (length > kReadBufferBytes) {
            faults.push_back("the body-read callback reported " + std::to_string(length) +
                             " bytes for a buffer of " + std::to_string(kReadBufferBytes));
            body.error = "Stream read error";
            return body;
        }
        if (body.text.size() + length > kMaxStreamedBodyBytes) {
            faults.push_back("the streamed body goes on past " + std::to_string(kMaxStreamedBodyBytes) +
                             " bytes");
            body.error = "Streamed body too long";
            return body;
        }
        body.text.append(buffer, length);
        if (!more) {
            return body;
        }
        emptyReads = length == 0 ? emptyReads + 1 : 0;
        if (emptyReads == kMaxEmptyReads) {
            faults.push_back("the body stream announced more data " + std::to_string(kMaxEmptyReads) +
                             " times without delivering any");
            body.error = "Stream read error";
            return body;
        }
    }
}

} // namespace

Response readPluginResponse(HostResponse& response, std::vector<std::string>& faults) {
    Response answer;
    answer.status = response.status;
    const char* error = response.result.error;
    if (error) {
        answer.error = error;
    }

    if (response.readBody) {
        // An error answer's body is not read, but its stream is released all the same.
        if (!answer.error) {
            StreamedText body = readStream(response.readBody, response.bodyStream, faults);
            if (body.error) {
                answer.error = body.error;
            } else {
                ConversionResult parsed = parseJson(body.text);
                if (parsed.ok()) {
                    answer.value = std::move(parsed.value());
                } else {
                    answer.error = "The streamed body is not JSON: " + std::string(parsed.errorText());
                }
            }
        }
        if (response.releaseBody) {
            response.releaseBody(response.bodyStream);
        }
    } else if (!answer.error) {
        FlatResult failure{};
        if (!flatToValue(response.result.value, answer.value, "<response>", failure)) {
            answer.error = failure.error ? failure.error : "The response value does not convert";
            faults.push_back("the response value does not convert: " + *answer.error);
            answer.value.setEmpty();
        }
        releaseFlat(failure);
    }
    if (response.release) {
        response.release(&response);
    }
    return answer;
}

} // namespace kiv::kivhost
