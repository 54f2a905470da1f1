// Tracking: click hits and cookies, the cart, number formats, the custom
// events that replay filed campaign entries, deep links and attribution.

#include <gtest/gtest.h>

#include <limits>
#include <tuple>

#include "core/tracking_test.hpp"
#include "core/value_cbor.hpp"

namespace tavrino {
namespace {

using testing::TrackingTest;

constexpr std::int64_t kForever = std::numeric_limits<std::int64_t>::max();

// Track sends the click hit with the bulk view marker and writes no cookies;
// refused cookies write nothing, the hit still goes.
TEST_F(TrackingTest, ClickHitsGoAndOnlyAllowedClicksWriteCookies) {
  storeAll("qiv_i_1=11 {ahead};qiv_i_2=12 {ahead}");
  client().track({{"zbid", "9"}, {"di", "d1"}, {"at", "imp"}, {"bvw", "3"}}, {{"at", "host"}});
  const auto hit = awaitRequest("/t");
  // The client map wins.
  EXPECT_EQ(sent(hit, "a zbid at vzbid qivcfrom"),
            "a=c zbid=9 at=host vzbid=11,12 qivcfrom=bulkview");
  const int r = std::stoi(hit.queryValue("r").value_or("0"));
  EXPECT_TRUE(r >= 1 && r <= 100) << r;
  client().track({{"bvw", "x"}}, {});
  EXPECT_EQ(sent(awaitRequest("/t", 1), "qivcfrom zbid"), "!qivcfrom zbid=0");

  const auto clicks = stepCount("request start. type is : click");
  client().szbid({{"zbid", "9"}, {"cckie", "false"}});
  client().saveClickEvent({{"zbid", "9"}, {"cckie", 0}}, {});
  EXPECT_FALSE(Util::hasCookieWithPrefix("qiv_c_") || Util::hasCookieWithPrefix("qiv_lzbid"));
  awaitRequest("/t", 2);
  client().saveClickEvent({{"zbid", "9"}, {"bvw", "1"}}, {});
  EXPECT_TRUE(has("qiv_c_9"));
  EXPECT_EQ(sent(awaitRequest("/t", 3), "zbid qivcfrom"), "zbid=9 !qivcfrom");
  EXPECT_EQ(stepCount("request start. type is : click"), clicks + 2);
}

TEST_F(TrackingTest, ClinkMarksTheClickOnceAndClickCookiesFollowTheirLifetimeRules) {
  Tavrino::_clink(Value::parse(R"({"zbid": "9", "clickid": "2", "cqivcmmid": "44",
                                   "cqivcmmdelay": "5", "cqivcmmtyp": "mail", "bvw": "1"})"),
                  {});
  EXPECT_EQ(sent(awaitRequest("/t"), "qivcmmid qivcmmdelay qivcmmtyp qivcfrom"),
            "qivcmmid=44 qivcmmdelay=5 qivcmmtyp=mail qivcfrom=bulkview");
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
  // "clcend", lifetime in seconds from now: never negative, and beyond any
  // clock saturating rather than wrapping into the past.
  const std::int64_t day = 1440 * 60, forever = kForever - now();
  const std::pair<Value, std::int64_t> cases[] = {
      {Value(), day}, {30, 30 * 60},      {"1.5", 90},
      {"-5", day},    {"1e300", forever}, {"153722867280912930", forever}};
  for (const auto& [clcend, lifetime] : cases) {
    Value params = {{"zbid", "9"}, {"appid", "_a"}};
    if (!clcend.is_null()) params["clcend"] = clcend;
    client().szbid(params);
    const std::string expiry = std::to_string(now() + lifetime);
    EXPECT_EQ(storedAll("qiv_c_9 qiv_lzbid_a"), "qiv_c_9=1 " + expiry + " qiv_lzbid_a=9 " + expiry)
        << params.dump();
  }
  // The configured click minutes stand in for a missing "clcend".
  processState().withConfig([](SharedConfiguration& c) { c.clickCookieMinutes = "10"; });
  client().szbid({{"zbid", "3"}});
  EXPECT_EQ(stored("qiv_lzbid"), "3 " + std::to_string(now() + 600));
}

// Items without id or quantity are not added.
TEST_F(TrackingTest, PricesAndQuantitiesAreCleanedAndRoundedAndMembersEscapedInTheirOrder) {
  enableDebugLog();
  for (const char* quantity : {"", "0", "0.001"}) client().addItem("p", quantity, "1", "c", "t");
  client().addItem("", "2", "1", "c", "t");
  EXPECT_TRUE(log().contains(
      "addItem called with --> productId :  quantity : 2 price : 1 category : c title : t "
      "adetaildecimalchar : ."));
  EXPECT_FALSE(log().contains("add item. item string"));
  setDecimalChar(",");
  client().addItem("p1", "2", "1.234,50 EUR", "shoes", "Boot");
  client().addItem("p2", "1,255", "abc", "c", "t");
  setDecimalChar(".");
  client().addItem("p3", "-2.499", "9.99", "c", "t");
  client().addItem("p4", "3 pcs", "", "c", "t");
  // Members are escaped JSON in their order.
  client().addItem("a\"b", "1", "2", "back\\slash", "He said \"hi\"\n\x01\xff",
                   Value{{"color", "red"}, {"n", 2}});
  // Extra parameters that cannot be written, or say nothing, are left out.
  for (const Value& ep : {Value{{"bad", "\xff"}}, Value::object(), Value::array({1})}) {
    client().addItem("p", "1", "2", "c", "t", ep);
  }
  EXPECT_TRUE(log().consoleContains("JSON convert error"));
  const std::string plain = R"({"id":"p","prc":"2","qnt":"1.0","cat":"c","ttl":"t"})";
  EXPECT_EQ(pending(), (std::vector<std::string>{
                           R"({"id":"p1","prc":"1234.50","qnt":"2.0","cat":"shoes","ttl":"Boot"})",
                           R"({"id":"p2","prc":"0","qnt":"1.25","cat":"c","ttl":"t"})",
                           R"({"id":"p3","prc":"9.99","qnt":"2.5","cat":"c","ttl":"t"})",
                           R"({"id":"p4","prc":"0","qnt":"3.0","cat":"c","ttl":"t"})",
                           R"({"id":"a\"b","prc":"2","qnt":"1.0","cat":"back\\slash",)"
                           R"("ttl":"He said \"hi\"\n\u0001)"
                           "\xEF\xBF\xBD"  // the bad byte replaced
                           R"(","ep":{"color":"red","n":2}})",
                           plain, plain, plain}));
}

TEST_F(TrackingTest, NumberFormatAppliesTheOperationRoundsAndFormats) {
  enableDebugLog();
  EXPECT_EQ(Tavrino::numberFormat({{"o", "%"}, {"y", "10"}}, "200"), "180,00");
  EXPECT_TRUE(log().contains("group separator : .decimal separator : ,"));
  EXPECT_TRUE(log().contains("formatted price : 180,00"));

  const Value one = {{"o", "*"}, {"y", "1"}};
  const std::tuple<Value, const char*, const char*> cases[] = {
      {Value::object(), "1234567.891", "1.234.567,89"},  // "%" with 0 off
      {{{"o", "abc"}}, "5", "0,00"},
      {{{"o", "*"}, {"y", 3}}, "2.5", "7,50"},
      {{{"o", "*"}, {"y", "x"}}, "2.5", "2,50"},
      {{{"o", "/"}, {"y", "0"}}, "10", "10,00"},  // no division by zero
      {{{"o", "-"}, {"y", "0.5"}}, "10", "9,50"},
      {{{"o", "%"}, {"y", "10.5"}}, "200", "200,00"},  // not a whole percentage
      {{{"o", "%"}, {"y", "-9223372036854775808"}}, "1", "92.233.720.368.547.760,00"},
      {{{"decimal", "0"}}, "1234.5", "1.235"},
      {{{"decimal", "x"}}, "1234.56", "1.234,6"},
      {{{"decimal", "1000"}}, "1", "1,00000000000000000000"},  // capped at 20
      {{{"tseperator", ","}, {"dseperator", "."}}, "9876543.21", "9,876,543.21"},
      // Halves round away from zero, in decimal rather than binary.
      {one, "1.005", "1,01"},
      {one, "-1.005", "-1,01"},
      {one, "-0.004", "0,00"},  // no negative zero
      {{{"o", "+"}, {"y", "0.2"}}, "0.1", "0,30"},
      // What is no price, or overflows, shows nothing.
      {Value::object(), "", "0"},
      {Value::object(), "inf", "0"},
      {{{"o", "*"}, {"y", "1e308"}}, "1e308", "0"},
      {"not a map", "5", "5,00"},
  };
  for (const auto& [format, price, expected] : cases) {
    EXPECT_EQ(Tavrino::numberFormat(format, price), expected) << format.dump() << " " << price;
  }
}

Value action(const std::string& id) {
  return {{"id", id}, {"di", "i"}, {"pt", "v"}, {"v", "x"}};
}

// Before the answer events are only queued; then filed entries run in key
// order and only aich banners stay.
TEST_F(TrackingTest, EventsWaitForTheAnswerThenRunTheirFiledEntriesInKeyOrder) {
  enableDebugLog();
  // Filed in another order than they run.
  file("buy", {{"add_lbl_2", action("2")},
               {"ui_sb_6", {{"zbid", "6"}}},
               {"add_act_1", action("1")},
               {"ui_sb_5", {{"zbid", "5"}, {"bsc", "aich"}}},
               {"other_9", {{"x", "1"}}}});
  setResponseReady(false);
  client().createEvent("buy", nullptr, {});
  client().createEvent("view", nullptr, {});
  EXPECT_EQ(processState().withCampaign([](CampaignState& s) { return s.pendingCustomEvents; }),
            (std::vector<std::string>{"buy", "view"}));
  EXPECT_EQ(stepCount("create event called. event name : buy"), 1u);
  EXPECT_EQ(filed("buy")->size(), 5u);
  EXPECT_FALSE(has("qiv_l_1") || log().contains("create event called. event name : buy"));

  setResponseReady(true);
  client().createEvent("buy", nullptr, {});
  EXPECT_TRUE(log().contains("tavrino_log : create event called. event name : buy"));
  const long actionLine = logIndex("add_act called with");
  const long labelLine = logIndex("add_lbl called with");
  ASSERT_GE(actionLine, 0);
  EXPECT_LT(actionLine, labelLine);
  EXPECT_TRUE(has("qiv_l_1") && has("qiv_l_2"));
  EXPECT_EQ(*filed("buy"),
            (Value{{"ui_sb_5", {{"zbid", "5"}, {"bsc", "aich"}}}, {"other_9", {{"x", "1"}}}}));
  EXPECT_TRUE(service.waitForRequests("/t", 2, std::chrono::seconds(5)));

  // The aich banner fires again; nothing else is left to run.
  log().clear();
  client().createEvent("buy", nullptr, {});
  EXPECT_FALSE(log().contains("add_act called with"));
  EXPECT_EQ(filed("buy")->size(), 2u);
}

// Unreadable filings count as none and bad entries are dropped; an action
// filed under its own event runs once; clearing removes filings and badges only.
TEST_F(TrackingTest, FiledEntriesRunOnceUnreadableOnesCountAsNoneAndClearingRemovesThem) {
  enableDebugLog();
  // Text, and an archive of a list.
  for (const Value& broken : {Value("text"), Value::binary(*encodeValue(Value::array({1, 2})))}) {
    log().clear();
    Util::qivDefaults()->set(filedKey("bad"), broken);
    Tavrino::createCustomEvent("bad", nullptr, {});
    EXPECT_TRUE(log().contains("Filed campaigns could not be read : qivo.custom.events_bad"));
    EXPECT_TRUE(
        log().contains("create custom event called. Not found related campaigns or actions"));
    EXPECT_EQ(*Util::qivDefaults()->object(filedKey("bad")), broken);  // left as it was
  }

  setResponseReady(true);
  file("mixed", {{"add_act_1", "not a map"}, {"add_act_2", action("2")}});
  client().createEvent("mixed", nullptr, {});
  EXPECT_TRUE(log().contains("Filed entry is not a map, dropped : add_act_1"));
  EXPECT_TRUE(has("qiv_l_2"));
  EXPECT_TRUE(filed("mixed")->empty());

  // Actions 1 and 2 each wait for the other's event: the chain ends.
  file("qiv_action_1", {{"add_act_2", action("2")}});
  file("qiv_action_2", {{"add_act_1", action("1")}});
  file("start", {{"add_act_1", action("1")}});
  Tavrino::createCustomEvent("start", nullptr, {});
  EXPECT_TRUE(filed("qiv_action_1")->empty() && filed("qiv_action_2")->empty());
  EXPECT_EQ(stepCount("create custom event called. event name : qiv_action_1"), 2u);

  file("a", {{"add_act_1", action("1")}});
  file("b", {{"add_act_2", action("2")}});
  storeAll("qivo_badges=x;qivo_badges_2=x;qivo.custom=keep");
  client().clearCustomActions();
  EXPECT_TRUE(log().contains("clean up custom events & badges"));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qivo.custom.events_"));
  EXPECT_FALSE(Util::hasCookieWithPrefix("qivo_badges"));
  EXPECT_EQ(stored("qivo.custom"), "keep");
}

TEST_F(TrackingTest, APreviewLinkWithTheHashStoresOnlyTheTestParameters) {
  Tavrino::enable_hash("h1");
  client().trackDeepLink("app://x?tavrino=preview&qivtest=1&qivhash=h2");
  client().trackDeepLink("app://x?tavrino=preview&qivtest=1");
  EXPECT_FALSE(has("qivtest"));
  client().saveTestParameters("app://x?tavrino=preview&qivtest=1&qivhash=h1");
  EXPECT_EQ(stored("qivtest"), "1");

  // Only the test keys land (the deep link fuzz target holds every link to that).
  Tavrino::disable_hash();
  Util::setCookieToQIVDefaults("uid", "visitor");
  client().trackDeepLink(
      "app://open?tavrino=preview&qivtest=1&qivforce=2&companyid=1&memberid=m7&uid=x");
  EXPECT_EQ(storedAll("qivtest qivforce companyid memberid uid"),
            "qivtest=1 qivforce=2 companyid=1 memberid=m7 uid=visitor");
  // "qivtest" switched the debug log on; the test values ride along.
  client().track({{"zbid", "1"}}, {});
  EXPECT_TRUE(log().contains("tavrino_log : send request : "));
  EXPECT_EQ(sent(awaitRequest("/t"), "qivtest cuid qivforce"), "qivtest=1 cuid=m7 qivforce=2");
}

TEST_F(TrackingTest, APushPreviewLinkAsksForThePreviewAndAttributionIsSent) {
  Util::setCookieToQIVDefaults("qiv_token", "tok");
  client().trackDeepLink("app://x?qiv_p_preview=1&hash=h&sid=3&nid=4&other=5");
  EXPECT_EQ(sent(awaitRequest("/platform/sendnot.php"),
                 "hash sid nid endpoint preview qivsubstype other"),
            "hash=h sid=3 nid=4 endpoint=tok preview=1 qivsubstype=3 !other");
  EXPECT_EQ(stepCount("request start. type is : pushsend"), 1u);

  // Attribution is stored and sent with requests.
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
