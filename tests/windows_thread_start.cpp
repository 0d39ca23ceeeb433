// Linked into every test executable on Windows. Under wine, a process that ends while one of its
// threads is still starting can die of SIGSEGV after its tests have passed: wine stops the other
// threads with a signal, and a thread that has not yet set up its thread block crashes in the
// handler. GoogleTest starts such threads on Windows (a watcher for each thread that uses its
// thread-local registry, the main thread included), and on a busy machine a watcher may still be
// starting when a short test ends. So the process waits at exit, within a bound, until each of its
// threads has started: the loader runs a thread's TLS callbacks only once the thread is set up.
#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdlib>

namespace {

// The threads seen to start, in order. A process that starts more is not waited for.
constexpr std::size_t kTrackedThreads = 4096;
std::array<std::atomic<DWORD>, kTrackedThreads> startedThreads;
std::atomic<std::size_t> startedCount{0};

void NTAPI onThreadEvent(PVOID, DWORD reason, PVOID) {
    if (reason != DLL_PROCESS_ATTACH && reason != DLL_THREAD_ATTACH) {
        return;
    }
    const std::size_t slot = startedCount.fetch_add(1);
    if (slot < kTrackedThreads) {
        startedThreads[slot].store(GetCurrentThreadId());
    }
}

bool hasStarted(DWORD thread) {
    const std::size_t count = std::min(startedCount.load(), kTrackedThreads);
    for (std::size_t i = 0; i < count; ++i) {
        if (startedThreads[i].load() == thread) {
            return true;
        }
    }
    return false;
}

// Whether every other thread of the process has started; also true when that cannot be known.
bool otherThreadsStarted() {
    if (startedCount.load() > kTrackedThreads) {
        return true;
    }
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return true;
    }
    const DWORD process = GetCurrentProcessId();
    const DWORD self = GetCurrentThreadId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    bool started = true;
    for (BOOL more = Thread32First(snapshot, &entry); more && started;
         more = Thread32Next(snapshot, &entry)) {
        started = entry.th32OwnerProcessID != process || entry.th32ThreadID == self ||
                  hasStarted(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
    return started;
}

// The bound only keeps a thread that never starts from holding the process for ever.
void waitForStartingThreads() {
    for (int waited = 0; waited < 30000 && !otherThreadsStarted(); ++waited) {
        Sleep(1);
    }
}

[[maybe_unused]] const int waitRegistered = std::atexit(waitForStartingThreads);

} // namespace

// The CRT calls every callback placed between its .CRT$XLA and .CRT$XLZ markers.
extern "C" __attribute__((section(".CRT$XLB"), used)) const PIMAGE_TLS_CALLBACK kivThreadStartCallback =
    onThreadEvent;
