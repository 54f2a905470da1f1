#pragma once

// Banners through their image step: social-proof counts and images served
// by the reference service.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "banner/controller_test.hpp"
#include "tavrino/banner/social_proof.hpp"

namespace tavrino::testing {

class ImageTest : public ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    ASSERT_TRUE(banner::setSocialProofOrigin(baseUrl));
  }
  void TearDown() override {
    banner::setSocialProofOrigin(banner::kDefaultSocialProofOrigin);
    ControllerTest::TearDown();
  }

  std::size_t count(std::string_view text) {
    const auto lines = log().lines();
    return std::count_if(lines.begin(), lines.end(),
                         [&](const std::string& line) { return line.find(text) != line.npos; });
  }

  // Starts the image step of a new banner; with wait, pumps the loop until
  // its impression step ran.
  std::shared_ptr<popUpController> present(const std::string& url, const Value& params,
                                           const StringMap& client_map = {}, bool wait = true) {
    const std::size_t before = count("imageSet called.");
    auto banner = std::make_shared<popUpController>();
    banner->downloadImage(url, host, "https://shop.example/home", params, "img", client_map);
    if (wait) {
      EXPECT_TRUE(waitUntil([&] { return count("imageSet called.") > before; }));
    }
    return banner;
  }

  void socialProof(std::vector<service::SocialProofCount> counts) {
    service::Scenario scenario;
    scenario.socialProof = std::move(counts);
    service.setScenario(std::move(scenario));
  }
  std::string image(std::string_view name) { return baseUrl + "img/" + std::string(name); }
};

}  // namespace tavrino::testing
