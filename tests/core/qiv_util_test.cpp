#include <gtest/gtest.h>

#include <tuple>

#include "support/sdk_test.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class QivUtilTest : public testing::SdkTest {
 protected:
  QivUtil util;
  const std::string now = std::to_string(testing::kTestEpoch);
};

TEST_F(QivUtilTest, SetAndGetCookieWithMinuteTimeouts) {
  util.sc({{"cookie_name", "a"}, {"cookie_value", "x"}, {"cookie_timeout", "10"}});
  EXPECT_EQ(Util::readDefault("a"), "x " + std::to_string(testing::kTestEpoch + 600));
  EXPECT_EQ(util.gc({{"cookie_name", "a"}}), "x");
  util.sc({{"cookie_name", "a"}, {"cookie_value", "x"}, {"cookie_timeout", "0"}});
  EXPECT_EQ(Util::readDefault("a"), "x 0");
  util.sc({{"cookie_name", "b"}, {"cookie_value", 7}, {"cookie_timeout", 1.5}});
  EXPECT_EQ(Util::readDefault("b"), "7 " + std::to_string(testing::kTestEpoch + 90));
  util.sc({{"cookie_name", "c"}, {"cookie_value", "y"}, {"cookie_timeout", "soon"}});
  EXPECT_EQ(Util::readDefault("c"), "y 0");
  EXPECT_EQ(util.gc({{"cookie_name", "absent"}}), "");
  Util::setCookieToQIVDefaults("plain", "noblank");
  EXPECT_EQ(util.gc({{"cookie_name", "plain"}}), "noblank");
}

TEST_F(QivUtilTest, IncrementCountsExactlyInSixtyFourBits) {
  const std::string inAMinute = " " + std::to_string(testing::kTestEpoch + 60);
  const std::vector<std::tuple<std::string, Value, std::string>> cases = {
      // stored, "cookie_timeout", stored after
      {"", "0", "1 0"},  // absent
      {"5 100", "1", "6" + inAMinute},
      {"abc 100", "0", "abc 0"},
      {"1e300", Value(), "1e300 0"},                      // beyond 64 bits: kept, not wrapped
      {"9007199254740992 1", "0", "9007199254740993 0"},  // 2^53: a double cannot hold it
      {"9223372036854775806 1", "0", "9223372036854775807 0"},
      {"9223372036854775807 1", "0", "9223372036854775807 0"},  // the largest count stays
      {"-9223372036854775808 1", "0", "-9223372036854775807 0"},
      {"+41 1", "0", "42 0"},
      {"2.5 1", "0", "3 0"},  // not whole: its integer value + 1
  };
  for (const auto& [stored, timeout, expected] : cases) {
    Value params = {{"cookie_name", "n"}};
    if (stored.empty()) {
      Util::removeCookieFromQIVDefaults("n");
      params["cookie_value"] = "0";
    } else {
      Util::setCookieToQIVDefaults("n", stored);
    }
    if (!timeout.is_null()) params["cookie_timeout"] = timeout;
    util.ic(params);
    EXPECT_EQ(Util::readDefault("n"), expected) << stored;
  }
  util.ic(Value("not a map"));  // no crash, and no name: nothing stored
  EXPECT_FALSE(Util::qivDefaults()->object("").has_value());
}

TEST_F(QivUtilTest, LogsOnlyWhileQivtestIsSet) {
  QivUtil::addLog("hidden");
  EXPECT_TRUE(log().lines().empty());
  enableDebugLog();
  QivUtil::addLog("shown");
  EXPECT_EQ(log().lines(), std::vector<std::string>{"tavrino_log : shown"});
  Util::setCookieToQIVDefaults("qivtest", "");
  QivUtil::addLog("hidden again");
  EXPECT_EQ(log().lines().size(), 1u);
}

TEST_F(QivUtilTest, MapToStringRendersEntriesInOrder) {
  EXPECT_EQ(QivUtil::mapToString(Value::object()), "map_string is empty");
  EXPECT_EQ(QivUtil::mapToString(StringMap{}), "map_string is empty");
  Value map = {{"b", 1}, {"a", nullptr}, {"c", "x"}};
  EXPECT_EQ(QivUtil::mapToString(map), "\nkey : b , value : 1\nkey : a\nkey : c , value : x");
  EXPECT_EQ(QivUtil::mapToString(StringMap{{"k", "v"}}), "\nkey : k , value : v");
}

}  // namespace
}  // namespace tavrino
