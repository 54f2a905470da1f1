#include <gtest/gtest.h>

#include <regex>

#include "inbox/inbox_test.hpp"

namespace tavrino {
namespace {

using testing::kTestEpoch;

class MessageConversionTest : public testing::InboxTest {
 protected:
  QivInboxHelper helper;
};

TEST_F(MessageConversionTest, RecordFromMapNeedsAnIdAndTakesOnlyTexts) {
  EXPECT_EQ(helper.convertMessageObject(Value{{"qivibxcap", "t"}, {"qivibxr", "2"}}),
            QivInboxMessage{});
  EXPECT_EQ(helper.convertMessageObject(Value::array({1})), QivInboxMessage{});

  const QivInboxMessage record = helper.convertMessageObject(Value{{"zbid", 7},
                                                                   {"qivibxcap", "t"},
                                                                   {"qivibxttl", 5},
                                                                   {"qivibxdate", 12},
                                                                   {"qivibxtimeout", nullptr},
                                                                   {"qivibxchannel", "push"}});
  EXPECT_EQ(record.id, "");  // not text
  EXPECT_EQ(record.title, "t");
  EXPECT_EQ(record.timeout, "");
  EXPECT_EQ(record.date, "0");
  EXPECT_EQ(record.timeoutDate, "0");
  EXPECT_EQ(record.channel, "push");
  EXPECT_EQ(record.status, "");  // absent
}

TEST_F(MessageConversionTest, DictionaryHoldsAllTwelveKeysAndConvertsBack) {
  QivInboxMessage record;
  record.id = "1";
  record.updateId = "u";
  record.timeout = "60";
  record.category = "c";
  record.title = "t";
  record.message = "m";
  record.url = "https://x/";
  record.imageUrl = "https://x/i.png";
  record.status = "2";
  record.date = "10";
  record.channel = "campaign";
  record.timeoutDate = "3610";
  const StringMap map = helper.convertDictionary(record);
  EXPECT_EQ(map.size(), 12u);
  EXPECT_EQ(map.at("qivibxu"), "https://x/");
  EXPECT_EQ(map.at("qivibximg"), "https://x/i.png");
  EXPECT_EQ(helper.convertMessageObject(Value(map)), record);
  EXPECT_EQ(helper.convertDictionary(QivInboxMessage{}).size(), 12u);
}

TEST_F(MessageConversionTest, MessageMapNormalisesWithTheTextValueRule) {
  const StringMap empty = helper.createMessageMap(Value::object());
  ASSERT_EQ(empty.size(), 12u);
  for (const auto& [key, value] : empty) {
    const bool zero = key == "qivibxttl" || key == "qivibxdate" || key == "qivibxtimeout";
    EXPECT_EQ(value, zero ? "0" : "") << key;
  }
  const StringMap map = helper.createMessageMap(
      Value{{"zbid", "9"}, {"qivibxmt", " "}, {"qivibxttl", 5}, {"extra", "dropped"}});
  EXPECT_EQ(map.at("qivibxmt"), "");
  EXPECT_EQ(map.at("qivibxttl"), "5");
  EXPECT_EQ(map.count("extra"), 0u);
}

TEST_F(MessageConversionTest, PushPayloadGetsTimesStatusAndAlertTexts) {
  const Value payload = {
      {"zbid", "5"},        {"qivibxttl", 30},
      {"qivibxmt", "news"}, {"m", "https://cdn/i.png"},
      {"l", "https://x/"},  {"aps", {{"alert", {{"title", "T"}, {"body", "B"}}}}}};
  const StringMap map = helper.convertMessageObjectFromPush(payload);
  EXPECT_EQ(map.at("qivibxchannel"), "push");
  EXPECT_EQ(map.at("qivibxr"), "2");
  EXPECT_EQ(map.at("zbid"), "5");
  EXPECT_EQ(map.count("qivibxttl"), 0u);  // copied only when text
  EXPECT_EQ(map.at("qivibxtimeout"), std::to_string(kTestEpoch + 1800));
  EXPECT_EQ(map.at("qivibxdate"), std::to_string(kTestEpoch));
  EXPECT_EQ(map.at("qivibxcap"), "T");
  EXPECT_EQ(map.at("qivibxbody"), "B");
  EXPECT_EQ(map.at("qivibximg"), "https://cdn/i.png");
  EXPECT_EQ(map.at("qivibxu"), "https://x/");
  EXPECT_TRUE(log().consoleContains("tavrino_log --> prepared message map : {"));
  EXPECT_TRUE(hasStep("inbox message serialized"));

  const StringMap plain = helper.convertMessageObjectFromPush(
      Value{{"zbid", "6"}, {"qivibxr", "1"}, {"aps", {{"alert", "hello"}}}});
  EXPECT_EQ(plain.at("qivibxbody"), "hello");
  EXPECT_EQ(plain.count("qivibxcap"), 0u);
  EXPECT_EQ(plain.at("qivibxr"), "1");
  EXPECT_EQ(plain.at("qivibxtimeout"), plain.at("qivibxdate"));  // no lifetime
}

TEST_F(MessageConversionTest, ApiPushGetsAnIdOfItsOwn) {
  const StringMap map = helper.convertMessageObjectFromPush(
      Value{{"zbid", "77"}, {"campaign_label", "api"}, {"aps", Value::object()}});
  EXPECT_EQ(map.at("qivibxchannel"), "push_api");
  std::smatch match;
  const std::string& id = map.at("zbid");
  ASSERT_TRUE(
      std::regex_match(id, match, std::regex("77" + std::to_string(kTestEpoch) + "([0-9]{1,3})")))
      << id;
  const int drawn = std::stoi(match[1]);
  EXPECT_GE(drawn, 1);
  EXPECT_LE(drawn, 100);
}

TEST_F(MessageConversionTest, HostilePayloadsGiveAMapWithoutOverflowOrCrash) {
  // A lifetime beyond the range of seconds saturates instead of wrapping.
  StringMap map = helper.convertMessageObjectFromPush(
      Value{{"zbid", "1"}, {"qivibxttl", "9223372036854775807"}, {"aps", {{"alert", 3}}}});
  EXPECT_EQ(map.at("qivibxtimeout"), "9223372036854775807");
  EXPECT_EQ(map.count("qivibxbody"), 0u);
  map = helper.convertMessageObjectFromPush(Value{{"qivibxttl", "-9223372036854775807"}});
  EXPECT_EQ(map.at("qivibxtimeout"), "-9223372036854775808");
  map = helper.convertMessageObjectFromPush(Value::array({1, 2}));
  EXPECT_EQ(map.at("qivibxr"), "2");
  EXPECT_EQ(map.count("zbid"), 0u);
  map = helper.convertMessageObjectFromPush(Value{{"qivibxr", nullptr}, {"aps", "x"}});
  EXPECT_EQ(map.at("qivibxr"), "2");
}

}  // namespace
}  // namespace tavrino
