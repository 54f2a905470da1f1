#include "sim/options.hpp"

#include <cstdlib>

namespace tavrino::sim {

std::string usage() {
  return "usage: tavrino-sim [--scenario FILE] [--service URL] [--out FOLDER] [--json]\n"
         "                   [--color | --no-color] [--no-png] [--verbose]\n"
         "\n"
         "Plays a host-application scenario against the SDK and prints a timeline.\n"
         "  --scenario FILE  the scenario (default: the shipped default scenario)\n"
         "  --service URL    use a running tracking service instead of the in-process one\n"
         "  --out FOLDER     where pictures and the SDK's data go (default tavrino-sim-output)\n"
         "  --json           the timeline as JSON lines\n"
         "  --no-png         HTML pictures only: no window, no Chromium screenshots\n"
         "  --verbose        every SDK log line, not only its decisions\n";
}

ParsedArguments parseArguments(const std::vector<std::string>& args,
                               const std::filesystem::path& defaultScenario,
                               bool stdoutIsTerminal) {
  Options options;
  options.scenarioFile = defaultScenario;
  std::optional<bool> colour;
  const auto fail = [](std::string what) {
    return ParsedArguments{std::nullopt, "tavrino-sim: " + what + "\n" + usage(), 2};
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size() || args[i + 1].empty()) return std::nullopt;
      return args[++i];
    };
    if (arg == "--help" || arg == "-h") return {std::nullopt, usage(), 0};
    if (arg == "--scenario" || arg == "--service" || arg == "--out") {
      const auto v = value();
      if (!v) return fail(arg + " needs a value");
      if (arg == "--scenario") options.scenarioFile = *v;
      if (arg == "--service") options.serviceUrl = *v;
      if (arg == "--out") options.outputFolder = *v;
    } else if (arg == "--json") {
      options.style = Timeline::Style::json;
    } else if (arg == "--color" || arg == "--colour") {
      colour = true;
    } else if (arg == "--no-color" || arg == "--no-colour") {
      colour = false;
    } else if (arg == "--no-png") {
      options.png = false;
    } else if (arg == "--verbose") {
      options.verbose = true;
    } else {
      return fail("unknown argument \"" + arg + "\"");
    }
  }
  if (options.scenarioFile.empty()) return fail("no scenario: name one with --scenario");
  if (options.style != Timeline::Style::json) {
    const char* noColour = std::getenv("NO_COLOR");
    const bool wanted = colour.value_or(stdoutIsTerminal && !(noColour && *noColour));
    options.style = wanted ? Timeline::Style::colour : Timeline::Style::plain;
  }
  return {options, {}, 0};
}

}  // namespace tavrino::sim
