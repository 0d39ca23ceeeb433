// Trees cross the host interface as plain records that a C host builds and frees without our
// types. A record from the host is not trusted: converting it reads each text within its length
// word, refuses a record that contains itself and bounds what one record may make, so that a
// hostile record fails with a message instead of taking the process down. A record we build is
// complete at every step, so one that fails midway is still freed by releaseFlat.
#pragma once

#include "kiv/plugin_abi.h"
#include "value/enum_name_lookup.h"
#include "value/flat_record.h"
#include "value/value.h"

#include <string_view>

namespace kiv {

// Flat to generic into `target`; `targetName` is used only in the message. A text ends at its
// terminator or its length word, whichever comes first. On failure the message goes into
// `result` (its value released, error set, failed = 1) and false returns; an array that
// contains itself and a record past the bounds of flat_record.h are failures.
[[nodiscard]] bool flatToValue(const FlatValue& flat, Value& target, std::string_view targetName,
                               FlatResult& result);

// Generic to flat. Enums become their enumerator's name when `enums` knows it, else their
// value as a signed number. Fails only when memory runs out.
[[nodiscard]] bool valueToFlat(const Value& value, FlatValue& flat, const EnumNameLookup* enums);

} // namespace kiv
