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

TEST_F(MessageConversionTest, RecordAndStoredMapConvertKeyByKey) {
  EXPECT_EQ(helper.convertMessageObject(Value{{"qivibxcap", "t"}}), QivInboxMessage{});
  const QivInboxMessage mixed = helper.convertMessageObject(
      Value{{"zbid", 7}, {"qivibxttl", 5}, {"qivibxdate", 12}, {"qivibxtimeout", nullptr}});
  EXPECT_EQ(mixed.id + "|" + mixed.timeout + "|" + mixed.date + "|" + mixed.timeoutDate, "||0|0");

  // Distinct values catch a property read from or written to the wrong key.
  Value map = Value::object();
  for (const auto& [key, value] : helper.createMessageMap(Value::object())) map[key] = key + "!";
  const StringMap back = helper.convertDictionary(helper.convertMessageObject(map));
  EXPECT_EQ(Value(back), map);
  EXPECT_EQ(helper.convertMessageObject(map).imageUrl, "qivibximg!");

  const StringMap empty = helper.createMessageMap(Value::object());
  ASSERT_EQ(empty.size(), 12u);
  for (const auto& [key, value] : empty) {
    const bool zero = key == "qivibxttl" || key == "qivibxdate" || key == "qivibxtimeout";
    EXPECT_EQ(value, zero ? "0" : "") << key;
  }
  const StringMap normalised = helper.createMessageMap(Value{{"qivibxmt", " "}, {"qivibxttl", 5}});
  EXPECT_EQ(normalised.at("qivibxmt"), "");
  EXPECT_EQ(normalised.at("qivibxttl"), "5");
}

TEST_F(MessageConversionTest, PushPayloadGetsTimesStatusAndAlertTexts) {
  const StringMap map = helper.convertMessageObjectFromPush(
      Value{{"zbid", "5"},
            {"qivibxttl", 30},
            {"m", "https://cdn/i.png"},
            {"l", "https://x/"},
            {"aps", {{"alert", {{"title", "T"}, {"body", "B"}}}}}});
  EXPECT_EQ(map, (StringMap{{"qivibxchannel", "push"},
                            {"qivibxr", "2"},
                            {"zbid", "5"},
                            {"qivibxtimeout", std::to_string(kTestEpoch + 1800)},
                            {"qivibxdate", std::to_string(kTestEpoch)},
                            {"qivibxcap", "T"},
                            {"qivibxbody", "B"},
                            {"qivibximg", "https://cdn/i.png"},
                            {"qivibxu", "https://x/"}}));
  EXPECT_TRUE(log().consoleContains("tavrino_log --> prepared message map : {"));
  EXPECT_TRUE(hasStep("inbox message serialized"));

  const StringMap plain =
      helper.convertMessageObjectFromPush(Value{{"qivibxr", "1"}, {"aps", {{"alert", "hello"}}}});
  EXPECT_EQ(plain.at("qivibxbody"), "hello");
  EXPECT_EQ(plain.count("qivibxcap"), 0u);
  EXPECT_EQ(plain.at("qivibxr"), "1");
  EXPECT_EQ(plain.at("qivibxtimeout"), plain.at("qivibxdate"));
}

// An API push gets an id of its own: its id, the time and a draw of 1 to 100.
TEST_F(MessageConversionTest, ApiPushIdAndStatusOfEveryKind) {
  StringMap map = helper.convertMessageObjectFromPush(
      Value{{"zbid", "77"}, {"campaign_label", "api"}, {"aps", Value::object()}});
  EXPECT_EQ(map.at("qivibxchannel"), "push_api");
  std::smatch drawn;
  ASSERT_TRUE(std::regex_match(map.at("zbid"), drawn,
                               std::regex("77" + std::to_string(kTestEpoch) + "(\\d+)")))
      << map.at("zbid");
  EXPECT_GE(std::stoi(drawn[1]), 1);
  EXPECT_LE(std::stoi(drawn[1]), 100);
  // A numeric id is no text to copy, but an API push still gets its own id.
  map = helper.convertMessageObjectFromPush(Value{{"zbid", 77}, {"campaign_label", "api"}});
  EXPECT_TRUE(
      std::regex_match(map.at("zbid"), std::regex("77" + std::to_string(kTestEpoch) + "\\d{1,3}")))
      << map.at("zbid");
  // Without an id there is nothing to make unique: no "zbid" at all.
  map = helper.convertMessageObjectFromPush(
      Value{{"campaign_label", "api"}, {"aps", {{"alert", "a"}}}});
  EXPECT_EQ(map.at("qivibxchannel"), "push_api");
  EXPECT_EQ(map.count("zbid"), 0u);
  map = helper.convertMessageObjectFromPush(Value{{"zbid", 77}, {"campaign_label", "other"}});
  EXPECT_EQ(map.count("zbid"), 0u);
  EXPECT_EQ(map.at("qivibxchannel"), "push");

  // A status that is no text is carried by its textual form.
  EXPECT_EQ(helper.convertMessageObjectFromPush(Value{{"qivibxr", 1}}).at("qivibxr"), "1");
  EXPECT_EQ(helper.convertMessageObjectFromPush(Value{{"qivibxr", true}}).at("qivibxr"), "1");
  EXPECT_EQ(
      helper.convertMessageObjectFromPush(Value{{"qivibxr", Value::array({2})}}).at("qivibxr"),
      "[2]");
}

TEST_F(MessageConversionTest, HostilePayloadsNeitherOverflowNorCrash) {
  StringMap map = helper.convertMessageObjectFromPush(
      Value{{"qivibxttl", "9223372036854775807"}, {"qivibxr", nullptr}, {"aps", {{"alert", 3}}}});
  EXPECT_EQ(map.at("qivibxtimeout"), "9223372036854775807");  // saturated, not wrapped
  EXPECT_EQ(map.at("qivibxr"), "2");
  EXPECT_EQ(map.count("qivibxbody"), 0u);
  map = helper.convertMessageObjectFromPush(Value{{"qivibxttl", "-9223372036854775807"}});
  EXPECT_EQ(map.at("qivibxtimeout"), "-9223372036854775808");
  map = helper.convertMessageObjectFromPush(Value::array({1, 2}));
  EXPECT_EQ(map.count("zbid"), 0u);
}

}  // namespace
}  // namespace tavrino
