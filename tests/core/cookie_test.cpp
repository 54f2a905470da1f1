// The store's cookie texts: "value expiry" pairs, prefix operations, unique
// markers, and the campaign cookie functions; the read-modify-write ones from
// several threads and two processes at once.

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <tuple>
#include <vector>

#include "desktop_session/helper_process.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class CookieTest : public testing::SdkTest {
 protected:
  QivUtil util;

  // Runs fn(thread) on three threads while cookie writer processes, given
  // their arguments, write to this test's store too.
  void alongside(std::vector<std::vector<std::string>> writers,
                 const std::function<void(int)>& fn) {
    std::vector<std::unique_ptr<testing::HelperProcess>> processes;
    for (auto& args : writers) {
      args.insert(args.begin(), dataDirectory().string());
      processes.push_back(
          std::make_unique<testing::HelperProcess>(TAVRINO_COOKIE_WRITER_PATH, args, true));
      EXPECT_EQ(processes.back()->readLine(std::chrono::seconds(10)), "ready");
    }
    for (auto& process : processes) process->release();
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) threads.emplace_back(fn, t);
    for (auto& thread : threads) thread.join();
    for (auto& process : processes) EXPECT_EQ(process->wait(), 0);
  }
};

// Reads take texts whole and nothing else; prefixes match key starts only;
// _gcvp takes the value before the first blank and skips other entries.
TEST_F(CookieTest, ReadsPrefixesAndValuesBeforeTheBlankAndAddsWholeMarkersOnce) {
  storeAll(
      "k=v 123;visitcount_1=3;visitcount_2=4;xvisitcount_3=5;qiv_c_1=12:7 1700000000;"
      "qiv_c_2=noblank;qiv_i_1=x 1");
  Util::setCategoryToQIVDefaults("cats", Value::array({"a", "b"}));
  Util::setCategoryToQIVDefaults("qiv_c_3", 5);
  EXPECT_EQ(Util::getCookieToQIVDefaults("k", "def") + " " +
                Util::getCookieToQIVDefaults("cats", "def") + " " + Util::readDefault("cats"),
            "v 123 def ");
  EXPECT_EQ(Util::_gcvp("qiv_c_"), (StringMap{{"qiv_c_1", "12:7"}}));
  Util::removeCookieStartsWith("visitcount_");
  EXPECT_FALSE(Util::hasCookieWithPrefix("visitcount_"));
  EXPECT_EQ(Util::readDefault("xvisitcount_3"), "5");
  // Unique markers are added whole and once, keeping the expiry.
  const std::tuple<std::int64_t, const char*, const char*> steps[] = {
      // timeout, value added, stored after
      {0, "I,V", "I,V 0"},                // the banner impression code passes both
      {99, "AC12", "I,V,AC12 99"},        // a given timeout replaces the old one
      {0, "AC1", "I,V,AC12,AC1 99"},      // 0 keeps it; not lost behind AC12
      {0, "V,C,C", "I,V,AC12,AC1,C 99"},  // only the missing ones, once
      {0, ",", "I,V,AC12,AC1,C 99"},      // no marker at all
  };
  for (const auto& [timeout, value, expected] : steps) {
    Util::addUniqueCookie("z", "c", timeout, value);
    EXPECT_EQ(Util::readDefault("qiv_z_z_c"), expected) << value;
  }
  // Whole markers only: no substrings, expiry or lists, nor another click's.
  std::string found;
  for (const char* marker : {"AC12", "AC1", "AC", "99", "", "I,V"}) {
    found += Util::hasUniqueCookie("z", "c", marker) ? "1" : "0";
  }
  EXPECT_EQ(found + (Util::hasUniqueCookie("z", "other", "C") ? "1" : "0"), "1100000");

  Util::setCookieToQIVDefaults("qiv_z_a_b", "v");
  Util::addUniqueCookie("a", "b", 0, "w");  // no blank: left alone
  EXPECT_EQ(Util::readDefault("qiv_z_a_b"), "v");
}

TEST_F(CookieTest, SetAndGetCookieWithMinuteTimeoutsAndMarkTheCampaignsJustMet) {
  util.sc({{"cookie_name", "b"}, {"cookie_value", 7}, {"cookie_timeout", 1.5}});
  util.sc({{"cookie_name", "c"}, {"cookie_value", "y"}, {"cookie_timeout", "soon"}});
  Util::setCookieToQIVDefaults("plain", "noblank");
  EXPECT_EQ(storedAll("b c") + " " + util.gc({{"cookie_name", "b"}}) + " " +
                util.gc({{"cookie_name", "plain"}}),
            "b=7 " + std::to_string(testing::kTestEpoch + 90) + " c=y 0 7 noblank");
  // The action cookie marks the campaigns just met.
  storeAll(
      "qiv_lzbid=55:abc {ahead};qiv_lzbid_2=66 {ahead};qiv_c_77=item9 {ahead};"
      "qiv_c_x=88:item8 {ahead}");
  const char* marks = "qiv_z_55_1 qiv_z_66_1 qiv_z_77_item9 qiv_z_88_item8";
  Util::addActionUniqueCookie("1", "5");
  EXPECT_EQ(storedAll(marks), "qiv_z_55_1=AC5 0 qiv_z_66_1=AC5 0 !qiv_z_77_item9 !qiv_z_88_item8");
  Util::addActionUniqueCookie("0", "6");
  EXPECT_EQ(storedAll(marks),
            "qiv_z_55_1=AC5 0 qiv_z_66_1=AC5 0 qiv_z_77_item9=AC6 0 qiv_z_88_item8=AC6 0");
}

TEST_F(CookieTest, IncrementCountsExactlyInSixtyFourBits) {
  const std::string inAMinute = " " + std::to_string(testing::kTestEpoch + 60);
  const std::vector<std::tuple<std::string, Value, std::string>> cases = {
      // stored, "cookie_timeout", stored after
      {"", "0", "1 0"},  // absent
      {"5 100", "1", "6" + inAMinute},
      {"abc 100", "0", "abc 0"},
      {"1e300", Value(), "1e300 0"},                            // beyond 64 bits: kept, not wrapped
      {"9007199254740992 1", "0", "9007199254740993 0"},        // 2^53: a double cannot hold it
      {"9223372036854775807 1", "0", "9223372036854775807 0"},  // the largest count stays
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

TEST_F(CookieTest, LogsOnlyWhileQivtestIsSetAndRendersMapsInOrder) {
  enableDebugLog();
  QivUtil::addLog("shown");
  EXPECT_EQ(log().lines(), std::vector<std::string>{"tavrino_log : shown"});
  Util::setCookieToQIVDefaults("qivtest", "");
  QivUtil::addLog("hidden again");
  EXPECT_EQ(log().lines().size(), 1u);
  // Maps render their entries in order.
  EXPECT_EQ(QivUtil::mapToString(Value::object()), "map_string is empty");
  Value map = {{"b", 1}, {"a", nullptr}, {"c", "x"}};
  EXPECT_EQ(QivUtil::mapToString(map), "\nkey : b , value : 1\nkey : a\nkey : c , value : x");
}

TEST_F(CookieTest, EveryIncrementCounts) {
  alongside({{"ic", "n", "150"}, {"ic", "n", "150"}}, [](int) {
    for (int i = 0; i < 50; ++i)
      QivUtil().ic({{"cookie_name", "n"}, {"cookie_value", "0"}, {"cookie_timeout", "0"}});
  });
  EXPECT_EQ(Util::readDefault("n"), "450 0");
}

TEST_F(CookieTest, NoUniqueMarkerIsLost) {
  Util::addUniqueCookie("z", "c", 7, "first");
  alongside({{"unique", "z", "c", "a", "60"}, {"unique", "z", "c", "b", "60"}}, [](int t) {
    for (int i = 0; i < 20; ++i) {
      Util::addUniqueCookie("z", "c", 0, "t" + std::to_string(t) + "_" + std::to_string(i));
    }
  });
  // 181 distinct markers, each added once: a lost update would leave fewer.
  const std::string stored = Util::readDefault("qiv_z_z_c");
  EXPECT_EQ(std::count(stored.begin(), stored.end(), ','), 180);
  EXPECT_TRUE(stored.starts_with("first,") && stored.ends_with(" 7"));
}

}  // namespace
}  // namespace tavrino
