// Reads JSON text into a value tree with RapidJSON's tokenizer. The system has no JSON
// writer: values leave the plugin as flat records through the host interface.
#pragma once

#include "value/conversion_result.h"

#include <string_view>

namespace kiv {

// Parses the text up to its first NUL byte (or its end). Repeated keys reuse their member,
// so objects under one key merge and arrays concatenate. Numbers without fraction or
// exponent are Unsigned, or Signed when negative; the rest are Float. Strings end at their
// first NUL character. A syntax error gives "Error: <tokenizer message> at offset <byte
// offset>.". Nesting is limited by memory only.
[[nodiscard]] ConversionResult parseJson(std::string_view text);

// True when, after leading spaces (only the space character), the text starts with "{" or
// "[".
[[nodiscard]] bool looksLikeJson(std::string_view text) noexcept;

} // namespace kiv
