#include "router/call_context.h"

#include "value/flat_record.h"

#include <utility>

namespace kiv {

CallContext::~CallContext() {
    releaseFlat(answer_);
}

void CallContext::setError(std::string_view message) {
    body_.reset();
    result_.setError(message);
}

void CallContext::fail(std::uint32_t status, std::string_view message) {
    this->status = status;
    setError(message);
}

void CallContext::setBody(std::unique_ptr<ResponseBodyStream> body) noexcept {
    body_ = std::move(body);
}

std::unique_ptr<ResponseBodyStream> CallContext::takeBody() noexcept {
    return std::move(body_);
}

} // namespace kiv
