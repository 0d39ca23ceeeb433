// Turning log records into lines: the line templates with their #-codes, and the time texts.
#pragma once

#include "logging/log_record.h"
#include "platform/local_time.h"

#include <cstddef>

namespace kiv {

// Room for either time text and its terminator.
inline constexpr std::size_t kTimeTextSize = 32;

// Writes one line of `record` into `out` (`size` bytes) and returns its length. The layout is
// each target's configuration, not code: the template's text is copied, and "#" with the
// character after it stands for one piece of the record or of the process, or for that
// character. A cut line still ends in exactly one line break, because targets write lines back
// to back and a cut one must not run into the next.
std::size_t FormatLogLine(char* out, std::size_t size, const char* lineTemplate,
                          const LogRecord& record) noexcept;

// "YYYY-MM-DDTHH:MM:SS.mmm", cut to `size` bytes with the terminator.
void formatDisplayTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept;

// "YYYY-MM-DDTHH-MM-SS": without colons, which some file systems refuse in names; cut to `size`
// bytes with the terminator.
void formatFileNameTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept;

} // namespace kiv
