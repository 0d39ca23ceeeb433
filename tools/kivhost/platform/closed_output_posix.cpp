#include "kivhost/platform/closed_output.h"

#include <csignal>
#include <poll.h>
#include <unistd.h>

namespace kiv::kivhost {

void keepProcessOnClosedPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

// A pipe without a reader polls as an error for its writer; errno of the failed write may be long
// overwritten by the time the failure is noticed, when the output was buffered.
bool standardOutputReaderGone() {
    pollfd output{STDOUT_FILENO, POLLOUT, 0};
    return poll(&output, 1, 0) == 1 && (output.revents & POLLERR) != 0;
}

} // namespace kiv::kivhost
