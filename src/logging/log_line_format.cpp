#include "logging/log_line_format.h"

#include "logging/bounded_text.h"
#include "logging/log_groups.h"
#include "logging/module_name.h"
#include "logging/process_clock.h"
#include "platform/invariant.h"
#include "platform/thread_id.h"

#include <cstring>

namespace kiv {

namespace {

// Writes `value` as `width` decimal digits ending just before `end`.
void putDigits(char* end, int value, int width) noexcept {
    for (int i = 0; i < width; ++i, value /= 10) {
        *--end = static_cast<char>('0' + value % 10);
    }
}

void appendDisplayTime(BoundedText& text, const platform::LocalTime& time) noexcept {
    const bool inRange = time.year >= 0 && time.year <= 9999 && time.month >= 0 && time.month <= 99 &&
                         time.day >= 0 && time.day <= 99 && time.hour >= 0 && time.hour <= 99 &&
                         time.minute >= 0 && time.minute <= 99 && time.second >= 0 && time.second <= 99 &&
                         time.millisecond >= 0 && time.millisecond <= 999;
    if (!inRange) {
        text.appendFormat("%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month, time.day, time.hour,
                          time.minute, time.second, time.millisecond);
        return;
    }
    // What the format above writes for fields in range, without printf's cost on every line.
    char stamp[] = "0000-00-00T00:00:00.000";
    putDigits(stamp + 4, time.year, 4);
    putDigits(stamp + 7, time.month, 2);
    putDigits(stamp + 10, time.day, 2);
    putDigits(stamp + 13, time.hour, 2);
    putDigits(stamp + 16, time.minute, 2);
    putDigits(stamp + 19, time.second, 2);
    putDigits(stamp + 23, time.millisecond, 3);
    text.append(std::string_view(stamp, sizeof stamp - 1));
}

// Both parts come from the elapsed seconds in single precision, so they lose resolution as the
// process ages in the same way everywhere.
void appendElapsedTime(BoundedText& text) noexcept {
    const float seconds = static_cast<float>(secondsSinceFirstClockReading());
    const int whole = static_cast<int>(seconds);
    const int milliseconds = static_cast<int>((seconds - static_cast<float>(whole)) * 1000.0f);
    text.appendFormat("%06d.%03d", whole, milliseconds);
}

void appendCode(BoundedText& line, char code, const LogRecord& record) noexcept {
    switch (code) {
    case 'D':
        appendDisplayTime(line, record.time);
        break;
    case 'E':
        line.append(moduleName());
        break;
    case 'G': {
        char groups[kLogGroupTextSize];
        formatLogGroups(groups, sizeof groups, record.groups());
        line.append(groups);
        break;
    }
    case 'H':
        appendElapsedTime(line);
        break;
    case 'L':
        line.append(logLevelLabel(record.level));
        break;
    case 'M':
        line.append(record.text ? record.text : "");
        break;
    case 'T':
        line.appendFormat("%08X", static_cast<unsigned>(platform::currentThreadId()));
        break;
    default:
        line.append(code);
        break;
    }
}

} // namespace

std::size_t FormatLogLine(char* out, std::size_t size, const char* lineTemplate,
                          const LogRecord& record) noexcept {
    constexpr std::size_t kReserve = 2; // the closing line break and the terminator
    if (!out || size == 0) {
        return 0;
    }
    if (size < kReserve) {
        out[0] = '\0';
        return 0;
    }
    BoundedText line(out, size - kReserve);
    for (const char* p = lineTemplate ? lineTemplate : ""; *p != '\0' && !line.full();) {
        if (*p != '#') {
            // The literal text up to the next code goes in one piece.
            const char* code = std::strchr(p, '#');
            const std::size_t run = code ? static_cast<std::size_t>(code - p) : std::strlen(p);
            line.append(std::string_view(p, run));
            p += run;
        } else if (p[1] != '\0') {
            appendCode(line, p[1], record);
            p += 2;
        } else {
            ++p;
        }
    }
    std::size_t length = line.length();
    KIV_ASSERT(length + kReserve <= size, "the text stops short of the bytes kept for the line break");
    if (length == 0 || out[length - 1] != '\n') {
        out[length++] = '\n';
        out[length] = '\0';
    }
    return length;
}

void formatDisplayTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept {
    if (!out || size == 0) {
        return;
    }
    BoundedText text(out, size - 1);
    appendDisplayTime(text, time);
}

void formatFileNameTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept {
    if (!out || size == 0) {
        return;
    }
    BoundedText text(out, size - 1);
    text.appendFormat("%04d-%02d-%02dT%02d-%02d-%02d", time.year, time.month, time.day, time.hour,
                      time.minute, time.second);
}

} // namespace kiv
