#include "host/api_result.h"

#include "format/message_format.h"

#include <array>

namespace kiv {

void ApiError::setErrorCode(std::int32_t code) {
    errorCode = code;
    if (code != 0) {
        details.insert_or_assign("errorCode_int", NamedValue::signedInteger(code));
    }
}

ApiError makeApiError(std::string_view templ, std::string_view method, std::string_view url,
                      std::string_view error, std::int32_t code) {
    const std::array<NamedValue, 3> values = {NamedValue::text(method), NamedValue::text(url),
                                              NamedValue::text(error)};
    ApiError result;
    std::string positional;
    expandNamedPlaceholders(templ, values, positional, result.details);
    const std::array<FormatArg, 3> arguments = {values[0].asFormatArg(), values[1].asFormatArg(),
                                                values[2].asFormatArg()};
    result.message = formatMessage(positional, arguments);
    result.setErrorCode(code);
    return result;
}

} // namespace kiv
