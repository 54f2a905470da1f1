// A closed banner leaves its host: a screen that stays through many page
// views must not gather every banner it showed.

#include <gtest/gtest.h>

#include <memory>

#include "banner/controller_test.hpp"

namespace tavrino::testing {
namespace {

using ControllerReleaseTest = ControllerTest;

TEST_F(ControllerReleaseTest, ClosedBannerIsFreedOnceTheWorkInHandHasRun) {
  std::weak_ptr<popUpController> closed;
  std::shared_ptr<popUpController> open = show({{"cap", "y"}}, "lbcs");
  {
    auto banner = show({{"cap", "x"}}, "lbcs");
    closed = banner;
    ASSERT_EQ(host->children().size(), 2u);
    banner->targetCoc();
    // The caller may still be inside the banner's methods.
    EXPECT_EQ(host->children().size(), 2u);
  }
  dispatch().runUntilIdle();
  EXPECT_TRUE(closed.expired());
  ASSERT_EQ(host->children().size(), 1u);
  EXPECT_EQ(host->children().front(), open);
  EXPECT_TRUE(attached(*open));

  // Closing twice (the button and an outside tap) releases once, quietly.
  open->targetCoc();
  open->targetCoc();
  dispatch().runUntilIdle();
  EXPECT_TRUE(host->children().empty());
  EXPECT_EQ(open->closecounter, 2);
}

}  // namespace
}  // namespace tavrino::testing
