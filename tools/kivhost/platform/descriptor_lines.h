// Reading what another process writes to a pipe, line by line (POSIX builds only: the Windows
// build runs its work in its own process and reads no child's pipe).
#pragma once

#include <functional>
#include <string>

namespace kiv::kivhost {

// Reads the descriptor until its writer closes it (or a read fails), handing each line to `line`
// without its newline; a last line without one is handed over at the end. Reads interrupted by a
// signal are taken up again.
void forEachLine(int descriptor, const std::function<void(std::string& line)>& line);

} // namespace kiv::kivhost
