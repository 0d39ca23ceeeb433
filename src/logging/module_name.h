// The name lines show for the process: the file name of its executable.
#pragma once

namespace kiv {

// Reads the executable's path once per process and keeps its file name (the part after the last
// path separator). Later calls do nothing.
void captureModuleName() noexcept;

// The captured file name; "<unknown>" until captureModuleName has run.
[[nodiscard]] const char* moduleName() noexcept;

} // namespace kiv
