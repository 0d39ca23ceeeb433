// The paths of the benchmark table. Each registers its benchmarks and adds its rows to the
// table; false when its setup failed (the reason is printed), so that no timing measures an
// error path.
#pragma once

#include "ratio_report.h"

namespace kiv::bench {

bool addFormatReaders(BenchTable& table);
bool addRequestDispatch(BenchTable& table);
bool addRouteLookup(BenchTable& table);
bool addFlatRecords(BenchTable& table);
bool addLogLines(BenchTable& table);
bool addLoginPacket(BenchTable& table);
bool addLoginBoundary(BenchTable& table);
bool addListMemory(BenchTable& table);

} // namespace kiv::bench
