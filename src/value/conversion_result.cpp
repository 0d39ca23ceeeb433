#include "value/conversion_result.h"

#include <exception>
#include <new>
#include <string>

namespace kiv {

void ConversionResult::setError(std::string_view message) {
    // The message may point into the current value, so the error tree is built aside first.
    Value error;
    error.member("error").setString(message);
    value_ = std::move(error);
    ok_ = false;
}

std::string_view ConversionResult::errorText() const noexcept {
    if (ok_) {
        return {};
    }
    return value_["error"].getString({});
}

std::string_view failureTextOfCurrentException() noexcept {
    try {
        throw;
    } catch (const ValueTooLarge& error) {
        return error.what();
    } catch (const std::bad_alloc&) {
        return "Out of memory.";
    } catch (...) {
        return "Unexpected error while converting a value.";
    }
}

void ConversionResult::failFromCurrentException() noexcept {
    const std::string_view message = failureTextOfCurrentException();
    ok_ = false;
    try {
        setError(message);
    } catch (...) {
        // Without memory for the message the result still reports the failure.
        value_.setEmpty();
    }
}

} // namespace kiv
