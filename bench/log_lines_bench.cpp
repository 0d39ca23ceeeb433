// One log line of about 100 bytes with two arguments, through a target that writes to
// /dev/null, beside spdlog's synchronous logger with a basic file sink on /dev/null.
#include "bench_paths.h"
#include "timed_benchmark.h"

#include "logging/base_console_log_target.h"
#include "logging/log_message.h"
#include "logging/log_service.h"

#include <spdlog/logger.h>
#include <spdlog/sinks/basic_file_sink.h>

#include <cstdio>
#include <memory>
#include <mutex>

namespace kiv::bench {
namespace {

constexpr const char* kNullDevice = "/dev/null";

// Writes each line to a stream on the null device, as a file target would.
class NullDeviceLogTarget final : public BaseConsoleLogTarget {
  public:
    NullDeviceLogTarget() : file_(std::fopen(kNullDevice, "w")) {}
    ~NullDeviceLogTarget() override {
        detach();
        if (file_ != nullptr) {
            std::fclose(file_);
        }
    }
    bool isOpen() const noexcept { return file_ != nullptr; }
    const char* name() const noexcept override { return "NullDeviceLogTarget"; }
    void flush() noexcept override { std::fflush(file_); }

  private:
    void writeLine(const char* line, std::size_t length) noexcept override {
        std::fwrite(line, 1, length, file_);
    }

    std::FILE* file_;
};

} // namespace

bool addLogLines(BenchTable& table) {
    static NullDeviceLogTarget target;
    if (!target.isOpen()) {
        std::fprintf(stderr, "log lines: %s cannot be opened\n", kNullDevice);
        return false;
    }
    LogService::acquire();
    {
        // The service's own console and debugger targets would write the same lines: only
        // the target measured stays attached.
        std::lock_guard lock(LogService::lock());
        LogService* service = LogService::current();
        if (service == nullptr) {
            return false;
        }
        service->stdErrTarget().detach();
        service->debuggerTarget().detach();
    }
    target.configure({LogLevel::Warn, 0, 0, kDefaultLogTemplate});
    target.attach();
    static spdlog::logger logger("bench", std::make_shared<spdlog::sinks::basic_file_sink_mt>(kNullDevice));

    // Both messages are 100 bytes long once their arguments are in.
    registerTimed("log/100-byte line/kiv", [queue = 0]() mutable {
        ++queue;
        LogMessage(LogLevel::Warn, 0,
                   "kiv-kr-shutdown-law: queue %4d closes in %3d minutes; its players get the shutdown "
                   "notice right now",
                   queue % 10000, queue % 1000);
    });
    registerTimed("log/100-byte line/spdlog", [queue = 0]() mutable {
        ++queue;
        logger.warn("kiv-kr-shutdown-law: queue {:4} closes in {:3} minutes; its players get the shutdown "
                    "notice right now",
                    queue % 10000, queue % 1000);
    });
    table.comparisons.push_back({"log line", "100 bytes, 2 arguments", "log/100-byte line/kiv",
                                 "log/100-byte line/spdlog", "spdlog", 0.7});
    return true;
}

} // namespace kiv::bench
