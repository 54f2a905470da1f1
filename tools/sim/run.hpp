#pragma once

// One run of the simulator: loads the scenario, prepares the output folder,
// installs the platform, starts (or reaches) the service, plays the steps,
// takes the screenshots and prints the summary.

#include <cstdio>

#include "sim/options.hpp"

namespace tavrino::sim {

// Returns the process exit code: 0 when the scenario played to its end, 1
// when it could not start (a malformed scenario, an unreachable service, an
// unusable output folder). The timeline goes to out, failures to err.
int runSimulation(const Options& options, std::FILE* out, std::FILE* err);

}  // namespace tavrino::sim
