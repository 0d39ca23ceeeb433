// What a value is, for the end of a message about a scenario: "got a list", "got 'abc'", "got -3".
#pragma once

#include "value/value.h"

#include <string>

namespace kiv::kivhost {

std::string described(const Value& value);

} // namespace kiv::kivhost
