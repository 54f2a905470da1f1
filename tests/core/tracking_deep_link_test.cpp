#include <gtest/gtest.h>

#include "core/tracking_test.hpp"

namespace tavrino {
namespace {

using TrackingDeepLinkTest = testing::TrackingTest;

TEST_F(TrackingDeepLinkTest, APreviewLinkStoresOnlyTheTestParameters) {
  Util::setCookieToQIVDefaults("uid", "visitor");
  Util::setCookieToQIVDefaults("qiv_token", "token");
  client().trackDeepLink(
      "app://open?tavrino=preview&qivtest=1&qivforce=2&companyid=1&memberid=m7"
      "&_cburl=http://attacker.invalid/&uid=x&_s=9&qiv_token=t&_enable_hash=0&qivrandom=5");
  // Only the allow-listed test keys land; the visitor, company and token stay.
  EXPECT_EQ(storedAll("qivtest qivforce companyid memberid _cburl uid _s qiv_token _enable_hash "
                      "qivrandom tavrino"),
            "qivtest=1 qivforce=2 companyid=1 memberid=m7 _cburl=" + baseUrl +
                " uid=visitor _s=1 qiv_token=token !_enable_hash !qivrandom !tavrino");

  // "qivtest" switched the debug log on; the test values ride along.
  client().track({{"zbid", "1"}}, {});
  EXPECT_TRUE(log().contains("tavrino_log : send request : "));
  EXPECT_EQ(sent(awaitRequest("/t"), "qivtest cuid qivforce"), "qivtest=1 cuid=m7 qivforce=2");
}

TEST_F(TrackingDeepLinkTest, TestParametersNeedPreviewModeAndTheHash) {
  client().trackDeepLink("app://x?qivtest=1&tavrino=other");
  client().saveTestParameters("app://x?qivtest=1");
  EXPECT_FALSE(has("qivtest"));

  Tavrino::enable_hash("h1");
  client().trackDeepLink("app://x?tavrino=preview&qivtest=1&qivhash=h2");
  client().trackDeepLink("app://x?tavrino=preview&qivtest=1");
  client().trackDeepLink("app://x?qivtest=1&qivhash=h1");
  EXPECT_FALSE(has("qivtest"));
  client().saveTestParameters("app://x?tavrino=preview&qivtest=1&qivhash=h1");
  EXPECT_EQ(stored("qivtest"), "1");

  Tavrino::disable_hash();
  client().trackDeepLink("app://x?tavrino=preview&qivforce=1");
  EXPECT_EQ(stored("qivforce"), "1");
}

TEST_F(TrackingDeepLinkTest, CampaignParametersAreStoredAsWrittenAndAMissingUrlStops) {
  Util::setCookieToQIVDefaults("_utm_campaign", "cmp");
  client().trackDeepLink(
      "app://x/path?utm_source=news&utm_medium=a=b&cmp=spring%20sale&utm_campaign=no"
      "&qivparam=p1&flag&utm_term=#frag");
  // "utm_medium" takes the text after the last "="; the host renamed "utm_campaign".
  EXPECT_EQ(storedAll("utm_source utm_medium cmp utm_campaign qivparam utm_term flag utm_content"),
            "utm_source=news utm_medium=b cmp=spring%20sale !utm_campaign qivparam=p1 utm_term= "
            "!flag !utm_content");

  client().trackDeepLink("no query at all");
  client().trackDeepLink("app://x?utm_source=later#utm_content=frag");
  EXPECT_EQ(storedAll("utm_source utm_content"), "utm_source=later !utm_content");

  // A missing URL stops, and the callback still hears it.
  enableDebugLog();
  const auto calls = stepCount("trackDeepLink/saveTestParameters called.");
  std::vector<std::optional<std::string>> heard;
  client().trackDeepLink(std::nullopt, [&](const auto& url) { heard.push_back(url); });
  client().trackDeepLink("app://x?qivparam=2", [&](const auto& url) { heard.push_back(url); });
  EXPECT_TRUE(log().contains("tavrino_log : trackDeepLink/saveTestParameters called. URL nil"));
  EXPECT_EQ(stepCount("trackDeepLink/saveTestParameters called."), calls + 2);
  EXPECT_EQ(heard, (std::vector<std::optional<std::string>>{std::nullopt, "app://x?qivparam=2"}));
  EXPECT_EQ(stored("qivparam"), "2");
}

TEST_F(TrackingDeepLinkTest, APushPreviewLinkAsksTheServiceForThePreview) {
  Util::setCookieToQIVDefaults("qiv_token", "tok");
  client().trackDeepLink("app://x?qiv_p_preview=1&hash=h&sid=3&nid=4&other=5");
  EXPECT_EQ(sent(awaitRequest("/platform/sendnot.php"),
                 "hash sid nid endpoint preview qivsubstype other"),
            "hash=h sid=3 nid=4 endpoint=tok preview=1 qivsubstype=3 !other");
  EXPECT_EQ(stepCount("request start. type is : pushsend"), 1u);

  client().trackDeepLink("app://x?qiv_p_preview=0&hash=h");
  dispatch().runFor(std::chrono::milliseconds(50));
  EXPECT_EQ(stepCount("request start. type is : pushsend"), 1u);
}

TEST_F(TrackingDeepLinkTest, AttributionIsStoredAndSentWithRequests) {
  client().trackAppInstallWithAdjust("net", "cmp");
  client().trackAppInstallWithAdjust("net", "cmp", "idfa1");
  EXPECT_EQ(stored("qiv_referral_suffix"), "net.cmp.idfa1");
  client().trackAppInstallWithAdjust("tt", "tn", "nw", "cp", "ag", "", "cl", "ad");
  client().trackAppInstallStats("idfa2");

  client().track(Value::object(), {});
  EXPECT_EQ(sent(awaitRequest("/t"), "qiv_referral qiv_referral_adjust qiv_idfa"),
            "qiv_referral=net.cmp qiv_referral_adjust=tt.tn.nw.cp.ag..cl.ad qiv_idfa=idfa2");
}

}  // namespace
}  // namespace tavrino
