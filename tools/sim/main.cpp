// tavrino-sim: plays a host-application scenario against the SDK and the
// reference tracking service, printing a timeline and drawing the screens.

#include <unistd.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "sim/options.hpp"
#include "sim/run.hpp"

#ifndef TAVRINO_SIM_DEFAULT_SCENARIO
#define TAVRINO_SIM_DEFAULT_SCENARIO ""
#endif

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const auto parsed =
      tavrino::sim::parseArguments(args, TAVRINO_SIM_DEFAULT_SCENARIO, isatty(STDOUT_FILENO) == 1);
  if (!parsed.options) {
    std::fputs(parsed.message.c_str(), parsed.exitCode == 0 ? stdout : stderr);
    return parsed.exitCode;
  }
  try {
    return tavrino::sim::runSimulation(*parsed.options, stdout, stderr);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tavrino-sim: %s\n", e.what());
    return 1;
  }
}
