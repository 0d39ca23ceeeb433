#include "kivhost/platform/closed_output.h"

namespace kiv::kivhost {

// Windows raises no signal for a closed pipe: the write fails.
void keepProcessOnClosedPipes() {}

// The failed write's EPIPE is all that tells of a gone reader here.
bool standardOutputReaderGone() {
    return false;
}

} // namespace kiv::kivhost
