// Windows has no fork: the work runs in this process, and a plugin that ends the process ends
// kivhost with it.
#include "kivhost/platform/child_process.h"

#include <cstdlib>
#include <iostream>

namespace kiv::kivhost {

ChildOutcome runInChildProcess(const std::function<int()>& work, std::ostream&, const std::string&) {
    return {work(), 0};
}

void finishProcess(int exitCode) {
    std::cerr.flush();
    std::_Exit(exitCode);
}

std::string signalName(int signal) {
    return "signal " + std::to_string(signal);
}

} // namespace kiv::kivhost
