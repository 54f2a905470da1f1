#include <gtest/gtest.h>

#include <limits>

#include "core/tracking_test.hpp"
#include "tavrino/client.hpp"

namespace tavrino {
namespace {

using testing::TrackingTest;

constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

class TrackingClickTest : public TrackingTest {
 protected:
  void SetUp() override {
    TrackingTest::SetUp();
    client_ = std::make_unique<Tavrino>(baseUrl, "77", "0");
  }
  Tavrino& client() { return *client_; }
  std::unique_ptr<Tavrino> client_;
};

TEST_F(TrackingClickTest, ClickCookiesFollowTheirLifetimeRules) {
  struct Case {
    Value params;
    std::int64_t lifetime;  // seconds from now
  };
  const Case cases[] = {
      {{{"zbid", "9"}, {"appid", "_a"}}, 1440 * 60},                      // configured default
      {{{"zbid", "9"}, {"appid", "_a"}, {"clcend", "0"}}, 1440 * 60},     // "0" means default
      {{{"zbid", "9"}, {"appid", "_a"}, {"clcend", 30}}, 30 * 60},        // a number value
      {{{"zbid", "9"}, {"appid", "_a"}, {"clcend", "1.5"}}, 90},          // fractional minutes
      {{{"zbid", "9"}, {"appid", "_a"}, {"clcend", "soon"}}, 1440 * 60},  // not a number
      {{{"zbid", "9"}, {"appid", "_a"}, {"clcend", "-5"}}, 1440 * 60},    // no negative lifetime
  };
  for (const auto& c : cases) {
    client().szbid(c.params);
    const std::string expiry = std::to_string(now() + c.lifetime);
    EXPECT_EQ(stored("qiv_c_9"), "1 " + expiry) << c.params.dump();
    EXPECT_EQ(stored("qiv_lzbid_a"), "9 " + expiry) << c.params.dump();
  }

  // The configured click minutes stand in for a missing "clcend".
  processState().withConfig([](SharedConfiguration& c) { c.clickCookieMinutes = "10"; });
  client().szbid({{"zbid", "3"}});
  EXPECT_EQ(stored("qiv_c_3"), "1 " + std::to_string(now() + 600));
  EXPECT_EQ(stored("qiv_lzbid"), "3 " + std::to_string(now() + 600));

  // A lifetime beyond any clock saturates rather than wrapping into the past.
  client().szbid({{"zbid", "4"}, {"clcend", "1e300"}});
  EXPECT_EQ(stored("qiv_c_4"), "1 " + std::to_string(kForever));
  client().szbid({{"zbid", "5"}, {"clcend", "153722867280912930"}});  // × 60 overflows
  EXPECT_EQ(stored("qiv_c_5"), "1 " + std::to_string(kForever));
}

TEST_F(TrackingClickTest, RefusedCookiesWriteNothing) {
  client().szbid({{"zbid", "9"}, {"cckie", "0"}});
  client().szbid({{"zbid", "9"}, {"cckie", "false"}});
  client().saveClickEvent({{"zbid", "9"}, {"cckie", 0}}, {});
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_c_"));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_lzbid"));
  awaitRequest("/t");  // the hit still goes
}

TEST_F(TrackingClickTest, TrackSendsTheClickHitWithBulkViewMarker) {
  Util::setCookieToQIVDefaults("qiv_i_1", "11 " + std::to_string(now() + 60));
  Util::setCookieToQIVDefaults("qiv_i_2", "12 " + std::to_string(now() + 60));
  client().track({{"zbid", "9"}, {"di", "d1"}, {"at", "imp"}, {"bvw", "3"}}, {{"at", "host"}});
  const auto hit = awaitRequest("/t");
  EXPECT_EQ(hit.queryValue("a"), "c");
  EXPECT_EQ(hit.queryValue("s"), "77");
  EXPECT_EQ(hit.queryValue("zbid"), "9");
  EXPECT_EQ(hit.queryValue("di"), "d1");
  EXPECT_EQ(hit.queryValue("at"), "host");  // the client map wins
  EXPECT_EQ(hit.queryValue("vzbid"), "11,12");
  EXPECT_EQ(hit.queryValue("qivcfrom"), "bulkview");
  const int r = std::stoi(hit.queryValue("r").value_or("0"));
  EXPECT_TRUE(r >= 1 && r <= 100) << r;

  for (const Value& bvw : {Value("0"), Value("x"), Value(0)}) {
    client().track({{"bvw", bvw}}, {});
  }
  ASSERT_TRUE(service.waitForRequests("/t", 4, std::chrono::seconds(5)));
  for (std::size_t i = 1; i < 4; ++i) {
    const auto plain = service.requests("/t")[i];
    EXPECT_FALSE(plain.queryValue("qivcfrom")) << i;
    EXPECT_EQ(plain.queryValue("zbid"), "0");
  }
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_c_"));  // track writes no cookies
}

TEST_F(TrackingClickTest, SaveClickEventWritesCookiesThenHits) {
  client().saveClickEvent({{"zbid", "9"}, {"bvw", "1"}}, {});
  EXPECT_TRUE(has("qiv_c_9"));
  const auto hit = awaitRequest("/t");
  EXPECT_EQ(hit.queryValue("zbid"), "9");
  EXPECT_FALSE(hit.queryValue("qivcfrom"));
  EXPECT_EQ(stepCount("request start. type is : click"), 1u);
}

TEST_F(TrackingClickTest, ClinkSendsCommunicationFieldsAndMarksTheClickOnce) {
  Tavrino::_clink({{"zbid", "9"},
                   {"clickid", "2"},
                   {"cqivcmmid", "44"},
                   {"cqivcmmdelay", "5"},
                   {"cqivcmmtyp", "mail"},
                   {"bvw", "1"}},
                  {});
  const auto hit = awaitRequest("/t");
  EXPECT_EQ(hit.queryValue("qivcmmid"), "44");
  EXPECT_EQ(hit.queryValue("qivcmmdelay"), "5");
  EXPECT_EQ(hit.queryValue("qivcmmtyp"), "mail");
  EXPECT_EQ(hit.queryValue("qivcfrom"), "bulkview");
  // max(banner time 60, click minutes 1440) plus "cend" 1440, in seconds.
  const std::string marker = "C " + std::to_string(now() + 1440 * 60 + 1440 * 60);
  EXPECT_EQ(stored("qiv_z_9_2"), marker);

  clock().advance(std::chrono::minutes(5));
  Tavrino::_clink({{"zbid", "9"}, {"clickid", "2"}}, {});
  EXPECT_EQ(stored("qiv_z_9_2"), marker);  // already marked
  const auto second = awaitRequest("/t", 1);
  EXPECT_FALSE(second.queryValue("qivcmmid"));
  EXPECT_FALSE(second.queryValue("qivcmmdelay"));
  EXPECT_FALSE(second.queryValue("qivcmmtyp"));
}

TEST_F(TrackingClickTest, ClinkMarkerLifetimesFallBackAndSaturate) {
  Tavrino::_clink({{"zbid", "1"}, {"icend", "x"}, {"cend", "10"}}, {});
  EXPECT_EQ(stored("qiv_z_1_1"), "C " + std::to_string(now() + 86400 + 600));
  Tavrino::_clink({{"zbid", "2"}, {"icend", "2000"}, {"clcend", "5"}, {"cend", "no"}}, {});
  EXPECT_EQ(stored("qiv_z_2_1"), "C " + std::to_string(now() + 2000 * 60));
  Tavrino::_clink({{"zbid", "3"}, {"cend", "1e300"}}, {});
  EXPECT_EQ(stored("qiv_z_3_1"), "C " + std::to_string(kForever));
  Tavrino::_clink({{"zbid", "4"}, {"cckie", "0"}}, {});
  EXPECT_FALSE(has("qiv_z_4_1"));
  ASSERT_TRUE(service.waitForRequests("/t", 4, std::chrono::seconds(5)));
}

TEST_F(TrackingClickTest, BannerClickRaisesItsEventAndWritesCookies) {
  enableDebugLog();
  file("qiv_click_9_2", {{"add_act_5", {{"id", "5"}, {"di", "i"}, {"pt", "v"}, {"v", "y"}}}});
  Tavrino::saveClickCookie({{"zbid", "9"}, {"clickid", "2"}}, nullptr, {});
  EXPECT_TRUE(log().contains("create custom event called. event name : qiv_click_9_2"));
  EXPECT_TRUE(has("qiv_l_5"));
  EXPECT_TRUE(has("qiv_c_9"));
  EXPECT_TRUE(filed("qiv_click_9_2")->empty());
  awaitRequest("/t");  // the action's report
}

}  // namespace
}  // namespace tavrino
