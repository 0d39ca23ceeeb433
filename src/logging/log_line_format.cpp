#include "logging/log_line_format.h"

#include "logging/bounded_text.h"
#include "logging/log_groups.h"
#include "logging/module_name.h"
#include "logging/process_clock.h"
#include "platform/invariant.h"
#include "platform/thread_id.h"

namespace kiv {

namespace {

void appendDisplayTime(BoundedText& text, const platform::LocalTime& time) noexcept {
    text.appendFormat("%04d-%02d-%02dT%02d:%02d:%02d.%03d", time.year, time.month, time.day, time.hour,
                      time.minute, time.second, time.millisecond);
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
    if (!out || size == 0)
        return 0;
    if (size < kReserve) {
        out[0] = '\0';
        return 0;
    }
    BoundedText line(out, size - kReserve);
    for (const char* p = lineTemplate ? lineTemplate : ""; *p != '\0' && !line.full(); ++p) {
        if (*p != '#') {
            line.append(*p);
        } else if (p[1] != '\0') {
            appendCode(line, *++p, record);
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
    if (!out || size == 0)
        return;
    BoundedText text(out, size - 1);
    appendDisplayTime(text, time);
}

void formatFileNameTime(char* out, std::size_t size, const platform::LocalTime& time) noexcept {
    if (!out || size == 0)
        return;
    BoundedText text(out, size - 1);
    text.appendFormat("%04d-%02d-%02dT%02d-%02d-%02d", time.year, time.month, time.day, time.hour,
                      time.minute, time.second);
}

} // namespace kiv
