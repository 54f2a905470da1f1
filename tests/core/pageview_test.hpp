#pragma once

// What the page-view tests share: a client whose requests go nowhere (the tests
// never pump the loop that would send) and a screen to show.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

class PageviewTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    client.emplace("http://127.0.0.1:9/", "1234", "0");
  }
  void TearDown() override {
    client.reset();
    SdkTest::TearDown();
  }
  void view(StringMap page = {{"p", "Home"}}) { client->execute(home, page); }
  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  template <typename Fn>
  static auto config(Fn fn) {
    return processState().withConfig(fn);
  }

  std::optional<Tavrino> client;
  std::shared_ptr<ui::ViewController> home = std::make_shared<ui::ViewController>("HomeScreen");
};

}  // namespace tavrino::testing
