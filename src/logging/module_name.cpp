#include "logging/module_name.h"

#include "platform/module_path.h"

#include <atomic>

namespace kiv {

namespace {

constexpr std::size_t kPathBufferSize = 1024;

struct CapturedName {
    char path[kPathBufferSize] = {};
    const char* fileName = "<unknown>";
};

// Written exactly once, before `ready` is raised, and never changed after; readers that see
// `ready` see the whole name.
CapturedName captured;
std::atomic<bool> ready{false};

const char* fileNamePart(const char* path) noexcept {
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/') {
            name = p + 1;
        }
    }
    return name;
}

} // namespace

void captureModuleName() noexcept {
    // A local static, so that the language runs the capture once however many threads log first.
    static const bool done = [] {
        platform::executablePath(captured.path, kPathBufferSize);
        captured.fileName = fileNamePart(captured.path);
        ready.store(true, std::memory_order_release);
        return true;
    }();
    (void)done;
}

const char* moduleName() noexcept {
    return ready.load(std::memory_order_acquire) ? captured.fileName : "<unknown>";
}

} // namespace kiv
