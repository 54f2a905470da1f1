#pragma once

// The simulator's command line.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/timeline.hpp"

namespace tavrino::sim {

struct Options {
  std::filesystem::path scenarioFile;
  // A running service to use instead of the in-process one.
  std::optional<std::string> serviceUrl;
  std::filesystem::path outputFolder = "tavrino-sim-output";
  Timeline::Style style = Timeline::Style::plain;
  bool verbose = false;
  bool png = true;
};

struct ParsedArguments {
  std::optional<Options> options;
  // Set when the program ends at once: the usage text or what was wrong.
  std::string message;
  int exitCode = 0;
};

// defaultScenario is used when --scenario is absent; stdoutIsTerminal picks
// colour unless --color or --no-color (or $NO_COLOR) decide.
ParsedArguments parseArguments(const std::vector<std::string>& args,
                               const std::filesystem::path& defaultScenario, bool stdoutIsTerminal);

std::string usage();

}  // namespace tavrino::sim
