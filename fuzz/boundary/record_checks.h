// What a host can check of the records a plugin hands it. A breach is a finding: it is printed
// and the process ends, as a sanitizer's report would end it.
#pragma once

#include "kiv/plugin_abi.h"

#include <string_view>

namespace kiv::fuzzing {

[[noreturn]] void finding(std::string_view what);

inline void require(bool condition, std::string_view what) {
    if (!condition) {
        finding(what);
    }
}

// A text the plugin hands over: not null, terminated within the longest message.
void readText(const char* text, std::string_view what);

// Reads every byte of a flat value the plugin built: known kinds only, texts terminated after
// their length word, no array met twice on one path, a bounded number of values.
void readPluginFlat(const FlatValue& flat);

// Reads an answer of the plugin (its value or error text, headers and streamed body), then hands
// it back through its own release routine, which must leave the record zeroed.
void readAndReleaseResponse(HostResponse& response);

} // namespace kiv::fuzzing
