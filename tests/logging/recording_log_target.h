// A log target that keeps what it receives in memory, for tests to look at.
#pragma once

#include "logging/log_line_format.h"
#include "logging/log_target.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace kiv::test {

struct RecordedLine {
    LogLevel level;
    std::uint64_t groups;
    std::string text; // the record's text
    std::string line; // the record formatted with the target's template
};

class RecordingLogTarget final : public LogTarget {
  public:
    explicit RecordingLogTarget(const char* name = "RecordingLogTarget") : name_(name) {}
    ~RecordingLogTarget() override { detach(); }

    const char* name() const noexcept override { return name_; }

    bool write(const LogRecord& record) noexcept override {
        char line[kLogBufferSize];
        std::lock_guard lock(targetLock());
        FormatLogLine(line, sizeof line, templateFor(record), record);
        lines_.push_back({record.level, record.groups(), record.text, line});
        return true;
    }

    std::vector<RecordedLine> lines() const {
        std::lock_guard lock(targetLock());
        return lines_;
    }

    std::vector<std::string> texts() const {
        std::vector<std::string> texts;
        for (const RecordedLine& line : lines()) {
            texts.push_back(line.text);
        }
        return texts;
    }

  private:
    const char* name_;
    std::vector<RecordedLine> lines_;
};

} // namespace kiv::test
