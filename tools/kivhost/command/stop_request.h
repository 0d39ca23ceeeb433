// The user's request to stop a command that runs until asked: Ctrl-C or SIGTERM on POSIX systems,
// Ctrl-C, Ctrl-Break or the console closing on Windows.
#pragma once

namespace kiv::kivhost {

class StopRequest {
  public:
    // Takes the requests from here on, instead of letting them end the process. Make it before
    // starting any thread: on POSIX systems SIGINT and SIGTERM are then blocked in every thread but
    // the one in wait(), so they never interrupt a plugin call, and SIGPIPE is ignored (a client
    // that went away is noticed when a write to it fails).
    StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    // Returns once the request came.
    void wait();
};

} // namespace kiv::kivhost
