// The state of one call: its result or error text, the status and headers of the answer, and
// an optional streamed body. Handlers receive it to fail with a status or to add headers.
#pragma once

#include "kiv/plugin_abi.h"
#include "value/conversion_result.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace kiv {

class BindingRegistry;

// A body the host reads piece by piece after the call.
class ResponseBodyStream {
  public:
    virtual ~ResponseBodyStream() = default;
    // On entry *length is the buffer's size; on return the number of bytes placed, and
    // *moreData whether more follow. False on a read error.
    virtual bool read(char* buffer, std::uint32_t* length, std::uint8_t* moreData) = 0;
    // The length announced to the host before it reads.
    virtual std::uint32_t announcedLength() const = 0;
};

class CallContext {
  public:
    explicit CallContext(const BindingRegistry& registry) noexcept : registry_(registry) {}
    CallContext(const CallContext&) = delete;
    CallContext& operator=(const CallContext&) = delete;

    const BindingRegistry& registry() const noexcept { return registry_; }

    ~CallContext();

    // The result value, or the error that replaced it.
    ConversionResult& result() noexcept { return result_; }
    const ConversionResult& result() const noexcept { return result_; }
    bool ok() const noexcept { return result_.ok(); }
    std::string_view errorText() const noexcept { return result_.errorText(); }
    // The records of the handler's answer, written straight from its native result; the
    // response takes them over when the call succeeds.
    FlatValue& answer() noexcept { return answer_; }
    // Records the error (replacing any earlier one) and drops the streamed body.
    void setError(std::string_view message);
    // The status and the error together, as handlers answer a request they refuse.
    void fail(std::uint32_t status, std::string_view message);

    std::uint32_t status = 0;
    std::map<std::string, std::string> headers; // response headers, name to value
    // Copied to the host as they are; their meaning is the host's.
    std::uint8_t hostFlag = 0;
    std::uint32_t hostCode = 0; // 1 to 3; any other value is published as 0
    std::string hostText;

    ResponseBodyStream* body() const noexcept { return body_.get(); }
    void setBody(std::unique_ptr<ResponseBodyStream> body) noexcept;
    [[nodiscard]] std::unique_ptr<ResponseBodyStream> takeBody() noexcept;

  private:
    const BindingRegistry& registry_;
    ConversionResult result_;
    FlatValue answer_{};
    std::unique_ptr<ResponseBodyStream> body_;
};

} // namespace kiv
