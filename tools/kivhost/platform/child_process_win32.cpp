// Windows has no fork: the work runs in this process, and a plugin that ends the process ends
// kivhost with it.
#include "kivhost/platform/child_process.h"

namespace kiv::kivhost {

ChildOutcome runInChildProcess(const std::function<int()>& work, std::ostream&, const std::string&) {
    return {work(), 0};
}

std::string signalName(int signal) {
    return "signal " + std::to_string(signal);
}

} // namespace kiv::kivhost
