// KIV_ASSERT(condition, "why"): states an assumption the code relies on without checking it at
// run time in optimised builds. Debug builds (x86-asan among them) stop at the first broken
// assumption with the condition, the reason and the place, instead of running on with a bad
// kind cast or a pointer outside its storage.
#pragma once

#include <cstdio>
#include <cstdlib>

namespace kiv::platform {

[[noreturn]] inline void invariantFailed(const char* condition, const char* why, const char* file,
                                         int line) noexcept {
    std::fprintf(stderr, "%s:%d: invariant '%s' failed: %s\n", file, line, condition, why);
    std::fflush(stderr);
    std::abort();
}

} // namespace kiv::platform

#ifdef NDEBUG
#define KIV_ASSERT(condition, why) ((void)sizeof((condition) ? 1 : 0))
#else
#define KIV_ASSERT(condition, why)                                                                           \
    ((condition) ? (void)0 : ::kiv::platform::invariantFailed(#condition, why, __FILE__, __LINE__))
#endif
