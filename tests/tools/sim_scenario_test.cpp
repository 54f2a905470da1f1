// The simulator's scenario format: what it reads, and that every mistake is
// refused with its place named, before anything is played.

#include <gtest/gtest.h>

#include <fstream>

#include "sim/options.hpp"
#include "sim/scenario.hpp"

namespace tavrino::sim {
namespace {

// The shipped scenario is read by the simulator's runs; here what it does not
// spell: numbers standing for their text, defaults, a token in hexadecimal.
TEST(SimScenario, ReadsWhatTheShippedScenarioDoesNotSpell) {
  std::string error;
  const auto scenario = Scenario::fromJson(Json::parse(R"({"service": "answers.json",
    "sdk": {"companyId": 77, "deviceToken": "00fFa1", "store": {"n": 2}},
    "hostMethods": ["Home.opened:", "Cart.add:"], "screens": {"Home": {"class": "H"}}, "steps": [
      {"show": "Home", "virtual": true}, {"event": "add", "params": {"x": true}},
      {"cart": {"id": 7, "price": 9.5}}, {"tap": {"kind": "Button", "image": false, "index": 1}},
      {"shake": {"x": 3, "ms": 50}}]})"),
                                           "/base", &error);
  ASSERT_TRUE(scenario) << error;
  const SdkSetup& sdk = scenario->sdk;
  EXPECT_EQ(std::make_tuple(scenario->serviceScenario.string(), sdk.companyId, sdk.store.at("n"),
                            sdk.deviceToken, scenario->hostMethods[1].selector),
            std::make_tuple("/base/answers.json", "77", "2", Data{0x00, 0xff, 0xa1}, "add:"));
  std::vector<std::string> steps;
  for (const auto& step : scenario->steps) steps.push_back(describe(step));
  EXPECT_EQ(steps,
            (std::vector<std::string>{"page view on Home", "event add x=1", "cart item 7 x1 at 9.5",
                                      "tap Button without image (match 1)",
                                      "shake the device (3, 2.5, 2.5 g for 50 ms)"}));
  EXPECT_DOUBLE_EQ(parseColour("#10203040")->alpha, 0x40 / 255.0);
}

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

TEST(SimScenario, FilesLoadOrNameThemselvesAndTheShippedOneHasEveryStepKind) {
  std::string error;
  EXPECT_FALSE(Scenario::load("/nonexistent/missing.json", &error));
  EXPECT_NE(error.find("missing.json: cannot be read"), std::string::npos) << error;
  // The shipped scenario exercises every step kind but waiting, its answers
  // next to it.
  const auto shipped =
      Scenario::load(std::filesystem::path(TAVRINO_SIM_SCENARIOS) / "default.json", &error);
  ASSERT_TRUE(shipped) << error;
  EXPECT_TRUE(std::filesystem::exists(shipped->serviceScenario));
  std::set<std::size_t> kinds;
  for (const auto& step : shipped->steps) kinds.insert(step.action.index());
  EXPECT_EQ(kinds.size(), std::variant_size_v<StepAction> - 1);
  EXPECT_FALSE(kinds.contains(StepAction(WaitStep{}).index()));
}

// The options a run takes are proven by the simulator's runs; here the
// choices no run makes.
TEST(SimOptions, NoColourOnATerminalWhenAskedAndUsageMistakes) {
  EXPECT_EQ(parseArguments({"--no-color"}, "d.json", true).options->style, Timeline::Style::plain);
  EXPECT_EQ(parseArguments({"--out", ""}, "d.json", false).exitCode, 2);
  EXPECT_EQ(parseArguments({"--help"}, "d.json", false).exitCode, 0);
  EXPECT_EQ(parseArguments({}, "", false).exitCode, 2) << "no scenario at all";
}

}  // namespace
}  // namespace tavrino::sim
