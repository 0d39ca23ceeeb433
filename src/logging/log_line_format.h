// Turning log records into lines: the line templates with their #-codes, and the time texts.
#pragma once

#include "logging/log_record.h"
#include "platform/local_time.h"

#include <cstddef>

namespace kiv {

// Room for either time text and its terminator.
inline constexpr std::size_t kTimeTextSize = 32;

// Copies `lineTemplate` into `out` (`size` bytes), replacing two-character codes:
//   #D  the record's local time, as formatDisplayTime writes it
//   #E  the module name (the executable's file name)
//   #G  the group text of the record's mask
//   #H  seconds since the process's first high-resolution clock reading, "%06d.%03d"
//   #L  the level label
//   #M  the record's text
//   #T  the calling thread's identifier, eight upper-case hexadecimal digits
//   #x  for any other character x: that character ("##" gives "#")
// Copying stops when the output is full, keeping two bytes for the line break and terminator: the
// result always ends with exactly one line break, appended unless the text already ends with one.
// Returns the number of characters written, the terminator not counted.
std::size_t FormatLogLine(char* out, std::size_t size, const char* lineTemplate,
                          const LogRecord& record) noexcept;

// "YYYY-MM-DDTHH:MM:SS.mmm", cut to `size` bytes with the terminator.
void formatDisplayTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept;

// "YYYY-MM-DDTHH-MM-SS", for use in file names; cut to `size` bytes with the terminator.
void formatFileNameTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept;

} // namespace kiv
