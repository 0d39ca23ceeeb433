// `kivhost serve` in a build configured with KIV_BUILD_SERVE=OFF.
#include "kivhost/command/serve_command.h"

namespace kiv::kivhost {

int serveCommand(const ServeArguments&, std::ostream&, std::ostream& errors) {
    errors << "kivhost: serve is not part of this build (configured with KIV_BUILD_SERVE=OFF); "
              "use a Linux build of kivhost for it\n";
    return 1;
}

} // namespace kiv::kivhost
