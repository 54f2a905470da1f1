// Visitor and visit bookkeeping of page views, across the manual clock and a
// restart of the process.

#include <chrono>
#include <tuple>

#include "core/pageview_test.hpp"

namespace tavrino {
namespace {

using std::chrono::minutes;
using std::chrono::seconds;
using testing::kTestEpoch;

class PageviewVisitTest : public testing::PageviewTest {
 protected:
  static std::string at(std::int64_t offset = 0) { return std::to_string(kTestEpoch + offset); }
};

TEST_F(PageviewVisitTest, FirstPageViewCreatesTheVisitorLaterOnesCountPages) {
  view();
  const std::string uid = stored("uid");
  ASSERT_EQ(uid.size(), 36u);
  EXPECT_EQ(uid[14], '4');
  EXPECT_EQ(stored("vc"), "1");
  EXPECT_EQ(stored("pvc"), "1");
  EXPECT_EQ(stored("ftu"), "1");
  EXPECT_EQ(stored("visitflag"), "true");
  EXPECT_EQ(stored("uids"), uid + "|" + at() + "|" + at() + "|" + at());
  EXPECT_EQ(stored("fvt"), at());

  clock().advance(seconds(10));
  Tavrino other("http://127.0.0.1:9/", "1234", "0");
  other.execute(home, {{"p", "Home"}, {"ls", "~"}});
  EXPECT_EQ(stored("uid"), uid) << "the visitor id is kept";
  EXPECT_EQ(stored("pvc"), "2");
  EXPECT_EQ(stored("vc"), "1");
  EXPECT_EQ(stored("ftu"), "");
  EXPECT_EQ(stored("qiv_vstp"), at());
  EXPECT_EQ(stored("vt"), at(10));
  EXPECT_EQ(stored("uids"), uid + "~" + at() + "~" + at(10) + "~" + at(10));

  view({{"p", "Home"}, {"_anid", "ad-42"}});
  EXPECT_EQ(stored("uid"), "ad-42");
  EXPECT_EQ(stored("uids").rfind("ad-42|", 0), 0u);
  view({{"p", "Home"}, {"_anid", ""}});
  EXPECT_EQ(stored("uid"), "ad-42");
}

TEST_F(PageviewVisitTest, ThirtyOneMinutesLaterIsANewVisit) {
  view();
  view();
  Util::setCookieToQIVDefaults("visitcount_7", "1");
  Util::setCookieToQIVDefaults("visitflag", "false");
  Util::setCookieToQIVDefaults("usercount_7", "1");

  clock().advance(minutes(30));
  view();
  EXPECT_EQ(stored("vc"), "1") << "exactly 30 minutes is still the same visit";
  EXPECT_EQ(stored("pvc"), "3");

  clock().advance(minutes(31));
  view();
  EXPECT_EQ(stored("vc"), "2");
  EXPECT_EQ(stored("pvc"), "1");
  EXPECT_EQ(stored("visitflag"), "true");
  EXPECT_EQ(stored("visitcount_7"), "");
  EXPECT_EQ(stored("usercount_7"), "1") << "per-device counters outlive visits";
  EXPECT_EQ(stored("ftu"), "") << "first page view of the second visit";
  EXPECT_EQ(stored("qiv_vstp"), at(30 * 60));
}

TEST_F(PageviewVisitTest, VisitTimeOutComesFromThePage) {
  view({{"p", "Home"}, {"_vto", "5"}});
  clock().advance(minutes(5) + seconds(1));
  view({{"p", "Home"}, {"_vto", "5"}});
  EXPECT_EQ(stored("vc"), "2");

  // A time-out that is not a whole number of minutes falls back to 30.
  for (const char* bad : {"abc", "2.5", "-3", "99999999999999999999", "1e400"}) {
    clock().advance(minutes(10));
    view({{"p", "Home"}, {"_vto", bad}});
    EXPECT_EQ(stored("vc"), "2") << bad;
    EXPECT_EQ(config([](SharedConfiguration& c) { return c.vto; }), "30");
  }
  // A huge one never overflows: the visit simply never ends.
  view({{"p", "Home"}, {"_vto", "9223372036854775807"}});
  clock().advance(minutes(60 * 24 * 365));
  view({{"p", "Home"}, {"_vto", "9223372036854775807"}});
  EXPECT_EQ(stored("vc"), "2");
}

TEST_F(PageviewVisitTest, VisitContinuesAcrossARestart) {
  view();
  const std::string uid = stored("uid");
  for (const auto& [gap, vc, pvc] : {std::tuple{10, "1", "2"}, std::tuple{45, "2", "1"}}) {
    restartPlatform();
    clock().advance(minutes(gap));
    Tavrino restarted("http://127.0.0.1:9/", "1234", "0");
    restarted.execute(home, {{"p", "Home"}});
    EXPECT_EQ(stored("uid"), uid);
    EXPECT_EQ(stored("vc"), vc) << gap;
    EXPECT_EQ(stored("pvc"), pvc) << gap;
  }
}

TEST_F(PageviewVisitTest, CorruptStoredCountersReadAsAbsent) {
  view();
  Util::setCookieToQIVDefaults("vc", "lots");
  Util::setCookieToQIVDefaults("pvc", "9223372036854775807");
  Util::setCookieToQIVDefaults("fvt", "yesterday");
  clock().advance(seconds(5));
  view();
  EXPECT_EQ(stored("pvc"), "9223372036854775807") << "saturates";
  EXPECT_EQ(stored("vc"), "0") << "no new visit to take a count from";
  EXPECT_EQ(stored("fvt"), at(5));

  Util::setCookieToQIVDefaults("vt", "soon");
  Util::setCookieToQIVDefaults("vc", "-4");
  view();
  EXPECT_EQ(stored("vc"), "1") << "an unreadable visit time starts a new visit";
  EXPECT_EQ(stored("pvc"), "1");
}

}  // namespace
}  // namespace tavrino
