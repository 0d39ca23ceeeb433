#include "kivhost/command/stop_request.h"

#include <windows.h>

namespace kiv::kivhost {
namespace {

// Set by the console's handler, which Windows calls on a thread of its own.
HANDLE stopEvent() {
    static const HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    return event;
}

BOOL WINAPI onConsoleControl(DWORD) {
    SetEvent(stopEvent());
    return TRUE; // handled: the process ends once the server has stopped
}

} // namespace

StopRequest::StopRequest() {
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void StopRequest::wait() {
    WaitForSingleObject(stopEvent(), INFINITE);
}

} // namespace kiv::kivhost
