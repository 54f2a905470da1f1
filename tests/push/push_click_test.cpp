#include <gtest/gtest.h>

#include "core/links/link_checks.hpp"
#include "push/push_payload_test.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino {
namespace {

using testing::PushPayloadTest;

const Value kPayload = {{"aps", {{"alert", {{"title", "Sale"}, {"body", "Today only"}}}}},
                        {"zbid", "77"},
                        {"zbidn", "spring"},
                        {"zbidcn", "cn1"},
                        {"zbidcln", "click one"},
                        {"zbidappn", "shop"},
                        {"qivxid", "sub9"},
                        {"l", "https://shop.example/sale"},
                        {"actionButtons",
                         {{{"id", "b1"}, {"title", "Later"}, {"url", "app://later"}},
                          {{"id", "b2"}, {"title", "Open"}, {"url", "app://x"}}}}};

class PushClickTest : public PushPayloadTest {
 protected:
  void SetUp() override {
    PushPayloadTest::SetUp();
    client().pushClickCallback([this](const Value& userInfo) { received.push_back(userInfo); });
  }
  bool reported() { return hasStep("request start. type is : pushclick"); }

  std::vector<Value> received;
};

// Taps on the notification and on a button: the report, the records, the
// callback, the attribution entries, the inbox mark and the link.
TEST_F(PushClickTest, TapsReportRecordCallBackAndOpenTheirLinks) {
  client().enableAppInbox();
  QivInbox inbox;
  inbox.setMessage(Value{{"zbid", "77"}, {"qivibxttl", "60"}, {"qivibxr", "2"}});
  Util::setCookieToQIVDefaults("_utm_source", "src");
  Value payload = kPayload;
  payload["qivparam"] = "p1";
  payload["src"] = "newsletter";
  payload["utm_medium"] = "push";
  payload["utm_source"] = "ignored";
  tap(payload, platform::defaultActionIdentifier);

  const auto hit = awaitRequest("/t");
  const std::pair<const char*, const char*> expected[] = {{"zbid", "77"},
                                                          {"a", "c"},
                                                          {"appid", "3"},
                                                          {"clickid", "1"},
                                                          {"clcend", "1440"},
                                                          {"qivcfrom", "pushclick"},
                                                          {"n", "spring"},
                                                          {"cn", "cn1"},
                                                          {"clickname", "click one"},
                                                          {"appname", "shop"},
                                                          {"qiv_subscription_id", "sub9"},
                                                          {"s", "1"},
                                                          {"src", "newsletter"}};
  for (const auto& [key, value] : expected) EXPECT_EQ(hit.queryValue(key), value) << key;
  EXPECT_TRUE(stored("_push_click_link").ends_with(hit.target)) << hit.target;
  const std::string record = "77:1 " + std::to_string(now() + 86400);
  EXPECT_EQ(stored("qiv_c_77"), record);
  EXPECT_EQ(stored("qiv_lzbid3"), record);
  EXPECT_EQ(stored("qivparam"), "p1");
  EXPECT_EQ(stored("src"), "newsletter");  // under the configured name
  EXPECT_EQ(stored("utm_medium"), "push");
  EXPECT_FALSE(has("utm_source"));
  EXPECT_EQ(inbox.getMessage("77").status, "1");
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0], payload);
  EXPECT_EQ(application().openedURLs(), std::vector<std::string>{"https://shop.example/sale"});

  // A button reports its id and opens its URL; a tap on the notification
  // itself takes the payload's click id.
  payload["zbidclid"] = "5";
  payload["zbidapp"] = "12";
  tap(payload, "b2");
  EXPECT_EQ(awaitRequest("/t", 1).queryValue("clickid"), "b2");
  EXPECT_EQ(stored("qiv_lzbid12"), "77:b2 " + std::to_string(now() + 86400));
  EXPECT_EQ(application().openedURLs().back(), "app://x");
  tap(payload, platform::defaultActionIdentifier);
  EXPECT_EQ(awaitRequest("/t", 2).queryValue("clickid"), "5");
}

TEST_F(PushClickTest, SwitchesSuppressOnlyTheirOwnPart) {
  Util::setCookieToQIVDefaults("_native_click", "1");
  Util::pushClicked(kPayload, Util::kOrganicAction);
  EXPECT_TRUE(reported());
  EXPECT_EQ(received.size(), 1u);
  EXPECT_TRUE(application().openedURLs().empty());

  Util::setCookieToQIVDefaults("_native_click", "0");
  Util::setCookieToQIVDefaults("pushcb", "0");
  Util::pushClicked(kPayload, Util::kOrganicAction);
  EXPECT_EQ(received.size(), 1u);
  EXPECT_EQ(application().openedURLs().size(), 1u);
  EXPECT_TRUE(service.waitForRequests("/t", 2, std::chrono::seconds(5)));

  // Without a campaign there is nothing to report; the rest still happens.
  Util::setCookieToQIVDefaults("pushcb", "1");
  Util::removeCookieFromQIVDefaults("_push_click_link");
  Value payload = kPayload;
  payload.erase("zbid");
  Util::pushClicked(payload, Util::kOrganicAction);
  EXPECT_EQ(stepsAmong({"request start. type is : pushclick"}).size(), 2u);
  EXPECT_FALSE(has("_push_click_link"));
  EXPECT_EQ(received.size(), 2u);
  EXPECT_EQ(application().openedURLs().size(), 2u);
}

TEST_F(PushClickTest, PayloadLinkPathReadsNestedMaps) {
  client().setPayloadLink("data|url");
  Value payload = {{"data", {{"url", "app://nested"}}}, {"l", "app://top"}};
  Util::pushClicked(payload, Util::kOrganicAction);
  EXPECT_EQ(application().openedURLs(), std::vector<std::string>{"app://nested"});

  const Value deep = {{"a", {{"b", {{"c", 42}}}}}, {"x", "text"}, {"n", nullptr}};
  EXPECT_EQ(Util::findValueRecursive(deep, "a|b|c"), "42");
  EXPECT_EQ(Util::findValueRecursive(deep, "x"), "text");
  EXPECT_EQ(Util::findValueRecursive(deep, "x|y"), "");  // not a map on the way
  EXPECT_EQ(Util::findValueRecursive(deep, "a|b"), "");  // a map is no text
  EXPECT_EQ(Util::findValueRecursive(deep, "a|"), "");
  EXPECT_EQ(Util::findValueRecursive(deep, "n"), "");
  EXPECT_EQ(Util::findValueRecursive(Value("no map"), "a|b"), "");
}

TEST_F(PushClickTest, EntriesOfUnexpectedKindsAreSkipped) {
  const Value payload = {{"zbid", {{"nested", 1}}},
                         {"zbidclid", true},
                         {"actionButtons", "b2"},
                         {"qivxid", 9},
                         {"l", {"app://list"}}};
  Util::pushClicked(payload, "b2");
  EXPECT_FALSE(reported());
  EXPECT_TRUE(log().contains("push payload entry skipped, unexpected kind : zbid"));
  EXPECT_TRUE(log().contains("unexpected kind : actionButtons"));
  EXPECT_TRUE(application().openedURLs().empty());
  EXPECT_EQ(received.size(), 1u);

  // Buttons that are no maps are passed over; a number counts as its text.
  const Value mixed = {{"zbid", 77},
                       {"zbidclid", true},
                       {"actionButtons", {"junk", {{"id", 3}, {"url", "app://three"}}}}};
  Util::pushClicked(mixed, "3");
  const auto hit = awaitRequest("/t");
  EXPECT_EQ(hit.queryValue("zbid"), "77");
  EXPECT_EQ(hit.queryValue("clickid"), "3");
  EXPECT_EQ(application().openedURLs(), std::vector<std::string>{"app://three"});
}

TEST_F(PushClickTest, LinksThatAreNoUrlsAreNotOpened) {
  for (const char* link :
       {"not a url", "no-scheme/path", "app://x\nHost: y", "app://%zz", "1app://x", ":x", "app:"}) {
    EXPECT_FALSE(links::mayOpenOutside(link, "push click link")) << link;
    Util::pushClicked(Value{{"l", link}}, Util::kOrganicAction);
  }
  EXPECT_TRUE(application().openedURLs().empty());
  for (const char* link : {"app://x", "mailto:a@b.example", "https://h/p?q=%20&r=1#f"}) {
    EXPECT_TRUE(links::mayOpenOutside(link, "push click link")) << link;
  }
}

TEST_F(PushClickTest, ThrowingCallbackStaysInsideTheSdk) {
  client().pushClickCallback([](const Value&) { throw std::runtime_error("host bug"); });
  EXPECT_NO_THROW(Util::pushClicked(kPayload, Util::kOrganicAction));
  EXPECT_EQ(application().openedURLs().size(), 1u);
}

TEST_F(PushClickTest, DismissalIsNoClick) {
  tap(kPayload, platform::dismissActionIdentifier);
  EXPECT_TRUE(hasStep("push clicked in delegate cb"));
  EXPECT_FALSE(hasStep("push clicked called"));
  EXPECT_TRUE(received.empty());
  EXPECT_TRUE(application().openedURLs().empty());
}

TEST_F(PushClickTest, AlternateIconSwitchesOneSecondAfterTheTap) {
  Value payload = kPayload;
  payload["ain"] = "Winter";
  tap(payload, platform::defaultActionIdentifier);
  dispatch().runFor(std::chrono::milliseconds(999));
  EXPECT_EQ(application().alternateIconName(), std::nullopt);
  dispatch().runFor(std::chrono::milliseconds(1));
  EXPECT_EQ(application().alternateIconName(), "Winter");

  // Before 10.3 there are no alternate icons to switch to.
  setSystemVersion("10.2");
  payload["ain"] = "Summer";
  tap(payload, platform::defaultActionIdentifier);
  dispatch().runFor(std::chrono::seconds(2));
  EXPECT_EQ(application().alternateIconName(), "Winter");
}

}  // namespace
}  // namespace tavrino
