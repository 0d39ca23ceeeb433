// The result of every JSON-API client call: a value of the requested type, or an error with a
// code, a readable message and the message's values in structured form.
#pragma once

#include "format/named_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace kiv {

struct ApiError {
    std::int32_t errorCode = 0;
    std::string message;
    NamedDetails details;

    // Sets the code; a non-zero code is also recorded in the details as "errorCode_int".
    void setErrorCode(std::int32_t code);
};

// An error whose message is `templ` ("Error response for {method} {url}: {error}" and the like)
// with its three named placeholders filled and recorded in the details.
[[nodiscard]] ApiError makeApiError(std::string_view templ, std::string_view method, std::string_view url,
                                    std::string_view error, std::int32_t code = 0);

template <class T> class [[nodiscard]] ApiResult {
  public:
    ApiResult(T value) : content_(std::in_place_index<0>, std::move(value)) {}
    ApiResult(ApiError error) : content_(std::in_place_index<1>, std::move(error)) {}

    bool ok() const noexcept { return content_.index() == 0; }
    T& value() { return std::get<0>(content_); }
    const T& value() const { return std::get<0>(content_); }
    const ApiError& error() const { return std::get<1>(content_); }

  private:
    std::variant<T, ApiError> content_;
};

// A result that carries no value: success, or the error.
template <> class [[nodiscard]] ApiResult<void> {
  public:
    ApiResult() = default;
    ApiResult(ApiError error) : error_(std::move(error)) {}

    bool ok() const noexcept { return !error_.has_value(); }
    const ApiError& error() const { return *error_; }

  private:
    std::optional<ApiError> error_;
};

} // namespace kiv
