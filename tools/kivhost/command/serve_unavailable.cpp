// `kivhost serve` in a build configured with KIV_BUILD_SERVE=OFF.
#include "kivhost/command/command_failure.h"
#include "kivhost/command/serve_command.h"

namespace kiv::kivhost {

int serveUntilStopped(const ServeArguments&, std::ostream&, std::ostream& errors) {
    reportError(errors, "serve is not part of this build (configured with KIV_BUILD_SERVE=OFF); use a Linux "
                        "build of kivhost for it");
    return 1;
}

} // namespace kiv::kivhost
