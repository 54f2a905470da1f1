#include <gtest/gtest.h>

#include <limits>

#include "core/tracking_test.hpp"

namespace tavrino {
namespace {

using TrackingClickTest = testing::TrackingTest;

constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

TEST_F(TrackingClickTest, ClickCookiesFollowTheirLifetimeRules) {
  const std::pair<Value, std::int64_t> cases[] = {
      // "clcend", lifetime in seconds from now
      {Value(), 1440 * 60}, {"0", 1440 * 60},    {30, 30 * 60},
      {"1.5", 90},          {"soon", 1440 * 60}, {"-5", 1440 * 60},  // no negative lifetime
  };
  for (const auto& [clcend, lifetime] : cases) {
    Value params = {{"zbid", "9"}, {"appid", "_a"}};
    if (!clcend.is_null()) params["clcend"] = clcend;
    client().szbid(params);
    const std::string expiry = std::to_string(now() + lifetime);
    EXPECT_EQ(stored("qiv_c_9"), "1 " + expiry) << params.dump();
    EXPECT_EQ(stored("qiv_lzbid_a"), "9 " + expiry) << params.dump();
  }

  // The configured click minutes stand in for a missing "clcend".
  processState().withConfig([](SharedConfiguration& c) { c.clickCookieMinutes = "10"; });
  client().szbid({{"zbid", "3"}});
  EXPECT_EQ(stored("qiv_lzbid"), "3 " + std::to_string(now() + 600));

  // A lifetime beyond any clock saturates rather than wrapping into the past.
  client().szbid({{"zbid", "4"}, {"clcend", "1e300"}});
  EXPECT_EQ(stored("qiv_c_4"), "1 " + std::to_string(kForever));
  client().szbid({{"zbid", "5"}, {"clcend", "153722867280912930"}});  // × 60 overflows
  EXPECT_EQ(stored("qiv_c_5"), "1 " + std::to_string(kForever));
}

TEST_F(TrackingClickTest, RefusedCookiesWriteNothingTheHitStillGoes) {
  client().szbid({{"zbid", "9"}, {"cckie", "0"}});
  client().szbid({{"zbid", "9"}, {"cckie", "false"}});
  client().saveClickEvent({{"zbid", "9"}, {"cckie", 0}}, {});
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_c_"));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_lzbid"));
  awaitRequest("/t");

  client().saveClickEvent({{"zbid", "9"}, {"bvw", "1"}}, {});
  EXPECT_TRUE(has("qiv_c_9"));
  const auto hit = awaitRequest("/t", 1);
  EXPECT_EQ(hit.queryValue("zbid"), "9");
  EXPECT_FALSE(hit.queryValue("qivcfrom"));
  EXPECT_EQ(stepCount("request start. type is : click"), 2u);
}

TEST_F(TrackingClickTest, TrackSendsTheClickHitWithBulkViewMarker) {
  Util::setCookieToQIVDefaults("qiv_i_1", "11 " + std::to_string(now() + 60));
  Util::setCookieToQIVDefaults("qiv_i_2", "12 " + std::to_string(now() + 60));
  client().track({{"zbid", "9"}, {"di", "d1"}, {"at", "imp"}, {"bvw", "3"}}, {{"at", "host"}});
  const auto hit = awaitRequest("/t");
  EXPECT_EQ(hit.queryValue("a"), "c");
  EXPECT_EQ(hit.queryValue("zbid"), "9");
  EXPECT_EQ(hit.queryValue("at"), "host");  // the client map wins
  EXPECT_EQ(hit.queryValue("vzbid"), "11,12");
  EXPECT_EQ(hit.queryValue("qivcfrom"), "bulkview");
  const int r = std::stoi(hit.queryValue("r").value_or("0"));
  EXPECT_TRUE(r >= 1 && r <= 100) << r;

  for (const Value& bvw : {Value("0"), Value("x"), Value(0)}) client().track({{"bvw", bvw}}, {});
  ASSERT_TRUE(service.waitForRequests("/t", 4, std::chrono::seconds(5)));
  for (std::size_t i = 1; i < 4; ++i) {
    const auto plain = service.requests("/t")[i];
    EXPECT_FALSE(plain.queryValue("qivcfrom")) << i;
    EXPECT_EQ(plain.queryValue("zbid"), "0");
  }
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_c_"));  // track writes no cookies
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
  EXPECT_FALSE(awaitRequest("/t", 1).queryValue("qivcmmid"));

  // Marker lifetimes fall back and saturate; refused cookies leave none.
  Tavrino::_clink({{"zbid", "1"}, {"icend", "x"}, {"cend", "10"}}, {});
  EXPECT_EQ(stored("qiv_z_1_1"), "C " + std::to_string(now() + 86400 + 600));
  Tavrino::_clink({{"zbid", "2"}, {"icend", "2000"}, {"clcend", "5"}, {"cend", "no"}}, {});
  EXPECT_EQ(stored("qiv_z_2_1"), "C " + std::to_string(now() + 2000 * 60));
  Tavrino::_clink({{"zbid", "3"}, {"cend", "1e300"}}, {});
  EXPECT_EQ(stored("qiv_z_3_1"), "C " + std::to_string(kForever));
  Tavrino::_clink({{"zbid", "4"}, {"cckie", "0"}}, {});
  EXPECT_FALSE(has("qiv_z_4_1"));
  ASSERT_TRUE(service.waitForRequests("/t", 6, std::chrono::seconds(5)));
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
