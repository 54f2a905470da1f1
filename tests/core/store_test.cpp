#include <gtest/gtest.h>

#include "support/sdk_test.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class StoreTest : public testing::SdkTest {};

TEST_F(StoreTest, CookieReadsTakeTextsWholeAndNothingElse) {
  Util::setCookieToQIVDefaults("k", "v 123");
  EXPECT_EQ(Util::getCookieToQIVDefaults("k", "def"), "v 123");  // no splitting
  Util::setCategoryToQIVDefaults("cats", Value::array({"a", "b"}));
  EXPECT_EQ(Util::getCookieToQIVDefaults("cats", "def"), "def");  // not a text
  EXPECT_EQ(Util::readDefault("cats"), "");
}

TEST_F(StoreTest, PrefixOperationsMatchKeyStartsOnly) {
  Util::setCookieToQIVDefaults("visitcount_1", "3");
  Util::setCookieToQIVDefaults("visitcount_2", "4");
  Util::setCookieToQIVDefaults("xvisitcount_3", "5");
  EXPECT_TRUE(Util::hasCookieWithPrefix("visitcount_"));
  Util::removeCookieStartsWith("visitcount_");
  EXPECT_FALSE(Util::hasCookieWithPrefix("visitcount_"));
  EXPECT_EQ(Util::readDefault("xvisitcount_3"), "5");
}

TEST_F(StoreTest, GcvpTakesTheValueBeforeTheFirstBlankAndSkipsOthers) {
  Util::setCookieToQIVDefaults("qiv_c_1", "12:7 1700000000");
  Util::setCookieToQIVDefaults("qiv_c_2", "noblank");
  Util::setCategoryToQIVDefaults("qiv_c_3", 5);
  Util::setCookieToQIVDefaults("qiv_i_1", "x 1");
  EXPECT_EQ(Util::_gcvp("qiv_c_"), (StringMap{{"qiv_c_1", "12:7"}}));
}

}  // namespace
}  // namespace tavrino
