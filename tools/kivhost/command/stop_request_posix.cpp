#include "kivhost/command/stop_request.h"

#include <csignal>
#include <pthread.h>

namespace kiv::kivhost {
namespace {

sigset_t stopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

} // namespace

StopRequest::StopRequest() {
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr); // threads started later inherit it
    std::signal(SIGPIPE, SIG_IGN);
}

void StopRequest::wait() {
    const sigset_t signals = stopSignals();
    int received = 0;
    sigwait(&signals, &received);
}

} // namespace kiv::kivhost
