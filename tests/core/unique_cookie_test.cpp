#include <gtest/gtest.h>

#include "support/sdk_test.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class UniqueCookieTest : public testing::SdkTest {};

TEST_F(UniqueCookieTest, AddsMarkersOnceAndKeepsTheExpiry) {
  Util::addUniqueCookie("z", "c", 0, "v");
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "v 0");
  Util::addUniqueCookie("z", "c", 0, "w");
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "v,w 0");
  Util::addUniqueCookie("z", "c", 0, "v");
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "v,w 0");
  Util::addUniqueCookie("z", "c", 99, "x");  // a given timeout replaces the old one
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "v,w,x 99");
  Util::addUniqueCookie("z", "c", 0, "y");  // 0 keeps the stored one
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "v,w,x,y 99");

  Util::setCookieToQIVDefaults("qiv_z_a_b", "v");
  Util::addUniqueCookie("a", "b", 0, "w");  // no blank: left alone
  EXPECT_EQ(Util::readDefault("qiv_z_a_b"), "v");
  Util::addUniqueCookie("n", "m", 0, "");  // nothing to record
  EXPECT_EQ(Util::readDefault("qiv_z_n_m"), "");
}

TEST_F(UniqueCookieTest, MatchesWholeMarkersOnly) {
  Util::addUniqueCookie("z", "c", 0, "AC12");
  Util::addUniqueCookie("z", "c", 0, "v");
  EXPECT_TRUE(Util::hasUniqueCookie("z", "c", "v"));
  EXPECT_TRUE(Util::hasUniqueCookie("z", "c", "AC12"));
  EXPECT_FALSE(Util::hasUniqueCookie("z", "c", "AC1"));  // not a substring match
  EXPECT_FALSE(Util::hasUniqueCookie("z", "c", "0"));    // the expiry is no marker
  EXPECT_FALSE(Util::hasUniqueCookie("z", "c", ""));
  EXPECT_FALSE(Util::hasUniqueCookie("z", "other", "v"));

  Util::addUniqueCookie("z", "c", 0, "AC1");  // not lost behind AC12
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "AC12,v,AC1 0");
  EXPECT_TRUE(Util::hasUniqueCookie("z", "c", "AC1"));
}

TEST_F(UniqueCookieTest, ValueOfSeveralMarkersAddsOnlyTheMissingOnes) {
  Util::addUniqueCookie("z", "c", 5, "I,V");
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "I,V 5");
  Util::addUniqueCookie("z", "c", 0, "I,V");  // the banner impression code passes both
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "I,V 5");
  Util::addUniqueCookie("z", "c", 0, "V,C,C");
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "I,V,C 5");
  Util::addUniqueCookie("z", "c", 0, ",");  // no marker at all
  EXPECT_EQ(Util::readDefault("qiv_z_z_c"), "I,V,C 5");
  EXPECT_TRUE(Util::hasUniqueCookie("z", "c", "C"));
  EXPECT_FALSE(Util::hasUniqueCookie("z", "c", "I,V"));  // types are single markers
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
