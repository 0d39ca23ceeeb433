// Another process's memory as Linux shows it in /proc: what the serve tests hold the server to.
#pragma once

#include <algorithm>
#include <fstream>
#include <string>
#include <string_view>

namespace kiv::test {

// A field of /proc/PID/status in MB ("VmRSS" resident now, "VmHWM" its peak, "VmSize" the address
// space), or -1 when the process or the field is not there.
inline long ownStatusMb(int pid, std::string_view field) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    const std::string prefix = std::string(field) + ":";
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(prefix)) {
            return std::stol(line.substr(prefix.size())) / 1024;
        }
    }
    return -1;
}

// The field summed over the process and its children (the server runs its plugin in one), or -1
// when the process is not there.
inline long statusMb(int pid, std::string_view field) {
    long total = ownStatusMb(pid, field);
    std::ifstream children("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
    for (int child = 0; total >= 0 && children >> child;) {
        total += std::max(0L, ownStatusMb(child, field));
    }
    return total;
}

// Whether a process's memory figures are the program's own. A sanitizer keeps freed memory in
// quarantine and shadows every byte, so a sanitized build's figures say little of the program's:
// bounds on memory hold in the plain builds, and the sanitized ones print the figures only.
inline constexpr bool kPlainMemory = KIV_SANITIZED == 0;

inline long residentMb(int pid) {
    return statusMb(pid, "VmRSS");
}

} // namespace kiv::test
