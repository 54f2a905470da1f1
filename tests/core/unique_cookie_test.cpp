#include <gtest/gtest.h>

#include <tuple>

#include "support/sdk_test.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class UniqueCookieTest : public testing::SdkTest {};

TEST_F(UniqueCookieTest, AddsWholeMarkersOnceAndKeepsTheExpiry) {
  const std::tuple<std::int64_t, const char*, const char*> steps[] = {
      // timeout, value added, stored after
      {0, "I,V", "I,V 0"},  // the banner impression code passes both
      {0, "v", "I,V,v 0"},
      {0, "v", "I,V,v 0"},
      {99, "AC12", "I,V,v,AC12 99"},        // a given timeout replaces the old one
      {0, "AC1", "I,V,v,AC12,AC1 99"},      // 0 keeps it; not lost behind AC12
      {0, "V,C,C", "I,V,v,AC12,AC1,C 99"},  // only the missing ones, once
      {0, ",", "I,V,v,AC12,AC1,C 99"},      // no marker at all
  };
  for (const auto& [timeout, value, expected] : steps) {
    Util::addUniqueCookie("z", "c", timeout, value);
    EXPECT_EQ(Util::readDefault("qiv_z_z_c"), expected) << value;
  }
  for (const char* marker : {"v", "AC12", "AC1", "C"}) {
    EXPECT_TRUE(Util::hasUniqueCookie("z", "c", marker)) << marker;
  }
  for (const char* other : {"AC", "99", "", "I,V"}) {  // no substrings, expiry or lists
    EXPECT_FALSE(Util::hasUniqueCookie("z", "c", other)) << other;
  }
  EXPECT_FALSE(Util::hasUniqueCookie("z", "other", "v"));

  Util::setCookieToQIVDefaults("qiv_z_a_b", "v");
  Util::addUniqueCookie("a", "b", 0, "w");  // no blank: left alone
  EXPECT_EQ(Util::readDefault("qiv_z_a_b"), "v");
  Util::addUniqueCookie("n", "m", 0, "");  // nothing to record
  EXPECT_EQ(Util::readDefault("qiv_z_n_m"), "");
}

TEST_F(UniqueCookieTest, ActionCookieMarksTheCampaignsJustMet) {
  Util::setCookieToQIVDefaults("qiv_lzbid", "55:abc 1800000000");
  Util::setCookieToQIVDefaults("qiv_lzbid_2", "66 1800000000");
  Util::setCookieToQIVDefaults("qiv_c_77", "item9 1800000000");
  Util::setCookieToQIVDefaults("qiv_c_x", "88:item8 1800000000");

  Util::addActionUniqueCookie("1", "5");
  EXPECT_EQ(Util::readDefault("qiv_z_55_1"), "AC5 0");
  EXPECT_EQ(Util::readDefault("qiv_z_66_1"), "AC5 0");
  EXPECT_EQ(Util::readDefault("qiv_z_77_item9"), "");

  Util::addActionUniqueCookie("0", "6");
  EXPECT_EQ(Util::readDefault("qiv_z_77_item9"), "AC6 0");
  EXPECT_EQ(Util::readDefault("qiv_z_88_item8"), "AC6 0");
  EXPECT_EQ(Util::readDefault("qiv_z_55_1"), "AC5 0");
}

}  // namespace
}  // namespace tavrino
