#pragma once
// Recordings for the list's benchmarks: names as the client makes them, a time stamp and partners
// of usual length.
#include <cstddef>
#include <vector>

#include "core/catalogue.h"

namespace callwright::test {

std::vector<WavEntry> BenchEntries(std::size_t count);

}  // namespace callwright::test
