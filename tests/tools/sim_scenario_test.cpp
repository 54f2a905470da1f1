// The simulator's scenario format: every mistake is refused with its place
// named, before anything is played.

#include <gtest/gtest.h>

#include "sim/scenario.hpp"

namespace tavrino::sim {
namespace {

TEST(SimScenario, MistakesAreRefusedWithTheirPlace) {
  const std::pair<std::string, std::string> cases[] = {
      {R"([])", "the scenario must be a JSON object"},
      {R"({})", ": needs \"steps\""},
      {R"({"steps": [{}]})", "steps[0]: names no step kind"},
      {R"({"steps": [{"wait": 1, "page": {}}]})", "steps[0]: unknown member \"page\""},
      {R"({"steps": [{"wait": -1}]})", "steps[0].wait: must be from 0 to 600 seconds"},
      {R"({"steps": [{"tap": {}}]})", "steps[0].tap: needs at least one of"},
      {R"({"steps": [{"shake": {"ms": 1.5}}]})", "steps[0].shake.ms: must be a whole number"},
      {R"({"hostMethods": ["Home.open"], "steps": [{"wait": 0}]})",
       "hostMethods[0]: is not \"Class.method:\""},
      {R"({"screens": {"H": {"class": "H", "views": [{"frame": [0, 0, -1, 1]}]}}, "steps": []})",
       "screens.H.views[0].frame: has a negative size"},
      {R"({"sdk": {"deviceToken": "abc"}, "steps": [{"wait": 0}]})",
       "sdk.deviceToken: is not a device token in hexadecimal"},
  };
  for (const auto& [document, expected] : cases) {
    std::string error;
    EXPECT_FALSE(Scenario::fromJson(Json::parse(document), "/base", &error)) << document;
    EXPECT_NE(error.find(expected), std::string::npos) << document << "\n  gave: " << error;
  }
  for (const char* bad : {"#fff", "ff8000", "#ff80zz"}) {
    EXPECT_FALSE(parseColour(bad)) << bad;
  }
}

}  // namespace
}  // namespace tavrino::sim
