// The standard output's reader may go away before kivhost is done (`kivhost run | head -1`). That
// is no failure: kivhost notices it and ends quietly, instead of being ended by SIGPIPE or
// reporting a write error.
#pragma once

namespace kiv::kivhost {

// Lets a write to a pipe whose reader has gone fail instead of ending the process.
void keepProcessOnClosedPipes();

// Whether the standard output is a pipe that nobody reads any more.
bool standardOutputReaderGone();

} // namespace kiv::kivhost
