#include "kivhost/command/command_failure.h"

#include "kivhost/core/host_error.h"

namespace kiv::kivhost {

void reportError(std::ostream& errors, std::string_view message) {
    errors << "kivhost: " << message << '\n';
}

int reportingHostErrors(std::ostream& out, std::ostream& errors, const std::function<int()>& work) {
    try {
        return work();
    } catch (const HostError& error) {
        out.flush();
        reportError(errors, error.what());
        return 1;
    }
}

} // namespace kiv::kivhost
