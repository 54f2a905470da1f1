#pragma once

// Actions and labels against the reference service, with a host screen whose
// registered methods record what reached them.

#include <string>
#include <vector>

#include "campaign/engine_test.hpp"
#include "core/tracking_test.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::testing {

class HostScreen : public ui::ViewController {
 public:
  HostScreen() : ViewController("HostScreen") {}
  static std::vector<std::string>& calls() {
    static std::vector<std::string> recorded;
    return recorded;
  }
};

class ActionTest : public TrackingTest {
 protected:
  void SetUp() override {
    TrackingTest::SetUp();
    enableDebugLog();
    HostScreen::calls().clear();
    auto& registry = runtime::Registry::shared();
    registry.resetForTesting();
    registry.registerClass("HostScreen", [] { return std::make_shared<HostScreen>(); });
    for (const char* method : {"entered", "left", "ran"}) {
      registry.registerMethod<HostScreen>(
          "HostScreen", method, [method](HostScreen&, const Value& argument) {
            HostScreen::calls().push_back(std::string(method) + ":" +
                                          Util::tryCatch(argument, "id", ""));
          });
    }
  }
  void TearDown() override {
    runtime::Registry::shared().resetForTesting();
    TrackingTest::TearDown();
  }

  static void setHostCallbacks(const std::string& runa, const std::string& runar) {
    processState().withConfig([&](SharedConfiguration& c) {
      c.runa = runa;
      c.runar = runar;
    });
  }
  // A campaign whose "A" functions call the host screen's "ran".
  static Value withRunFunction(Value params) {
    params["run"] = {{"functions", Value::array({{{"type", "A"},
                                                  {"name", "ran"},
                                                  {"class", "HostScreen"},
                                                  {"param", Value::object()}}})}};
    return params;
  }
  // A campaign map from "key=value&..." (all values text).
  static Value fields(std::string_view query) {
    Value map = Value::object();
    for (const auto& [key, value] : parseQuery(query)) map[key] = value;
    return map;
  }
  static std::vector<std::string> hostCalls() { return HostScreen::calls(); }

  std::shared_ptr<HostScreen> screen = std::make_shared<HostScreen>();
};

}  // namespace tavrino::testing
