// A message's forms: the stored map and the record convert key by key, a push
// payload becomes a map, and entries written straight from the record are
// byte for byte what archiving the stored map gives (readable the old way,
// the old entries readable the new way).

#include <regex>

#include "inbox/inbox_test.hpp"
#include "inbox/message_archive.hpp"

namespace tavrino {
namespace {

using namespace testing;

class MessageFormTest : public InboxTest {
 protected:
  Data storedBytes(const std::string& id) {
    const auto stored = groupSuite()->object("qiv_inbox_" + id);
    return stored && stored->is_binary() ? Data(stored->get_binary()) : Data();
  }
  QivInboxHelper helper;
};

TEST_F(MessageFormTest, RecordAndStoredMapConvertKeyByKey) {
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

TEST_F(MessageFormTest, PushPayloadGetsTimesStatusAndAlertTexts) {
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
  EXPECT_TRUE(stepCount("inbox message serialized"));

  const StringMap plain =
      helper.convertMessageObjectFromPush(Value{{"qivibxr", "1"}, {"aps", {{"alert", "hello"}}}});
  EXPECT_EQ(plain.at("qivibxbody"), "hello");
  EXPECT_EQ(plain.count("qivibxcap"), 0u);
  EXPECT_EQ(plain.at("qivibxr"), "1");
  EXPECT_EQ(plain.at("qivibxtimeout"), plain.at("qivibxdate"));
}

// An API push gets an id of its own: its id, the time and a draw of 1 to 100.
TEST_F(MessageFormTest, ApiPushIdAndStatusOfEveryKind) {
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

TEST_F(MessageFormTest, HostilePayloadsNeitherOverflowNorCrash) {
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

TEST(MessageArchive, SameBytesAsTheMapArchiveAtEveryLengthBoundaryFromMapsAndRecords) {
  std::vector<Value> messages = {
      Value::object(),  // every field its default
      {{"zbid", "m1"}, {"qivibxr", " "}, {"qivibxttl", ""}, {"qivibxmt", "news"}},
      {{"zbid", 42}, {"qivibxttl", 10}, {"qivibxdate", 1.5}, {"qivibxtimeout", true}},
      {{"zbid", "ü-é"},
       {"qivibxcap", "Grüße \xe2\x9c\x93"},
       {"qivibxbody", std::string("a\0b", 3)}}};
  // Text heads change form at 24, 256, 65,536 bytes.
  for (std::size_t length : {23u, 24u, 255u, 256u, 65535u, 65536u, 70000u}) {
    messages.push_back({{"zbid", "long"},
                        {"qivibxbody", std::string(length, 'x')},
                        {"qivibxu", std::string(length / 2, 'u')}});
  }
  for (const auto& message : messages) {
    const QivInboxMessage record = inbox::normalisedRecord(message);
    const Data bytes = inbox::archiveRecord(record);
    EXPECT_EQ(bytes, oldArchive(message)) << message.dump().substr(0, 80);
    // Read the old way: the map the old reader unarchives, and the record.
    const auto map = unarchiveDictionary(bytes);
    ASSERT_TRUE(map.has_value());
    EXPECT_EQ(*map, Value(QivInboxHelper().createMessageMap(message)));
    EXPECT_EQ(inbox::decodeEntry(Value::binary(bytes)),
              QivInboxHelper().convertMessageObject(*map));
  }

  // Records normalise as their maps would.
  QivInboxMessage record;
  record.id = "7";
  record.title = "t";
  record.status = record.timeout = " ";
  const QivInboxMessage normalised = inbox::normalisedRecord(record);
  const Value viaMap = Value(QivInboxHelper().convertDictionary(record));
  EXPECT_EQ(normalised, inbox::normalisedRecord(viaMap));
  EXPECT_EQ(inbox::archiveRecord(normalised), oldArchive(viaMap));
  EXPECT_EQ(normalised.timeout + "|" + normalised.status, "0|");
}

TEST_F(MessageFormTest, EntriesAreStoredAndMarkedAsByTheMapWriterWhichItsEntriesReadAsBefore) {
  Value incoming = message("a", 600, "news");
  incoming["qivibxttl"] = 10;  // numbers where the stored form has texts
  incoming["qivibxdate"] = kTestEpoch;
  incoming["qivibxtimeout"] = kTestEpoch + 600;
  ASSERT_FALSE(inbox.setMessage(incoming));
  EXPECT_EQ(storedBytes("a"), oldArchive(incoming));
  // A map that lacks fields, with a number for the id: the defaults are
  // stored, as before, and survive a restart.
  const Value sparse = {{"zbid", 42}, {"qivibxttl", 5}, {"qivibxcap", "hi"}};
  ASSERT_FALSE(inbox.setMessage(sparse));
  restartPlatform();
  EXPECT_EQ(storedBytes("42"), oldArchive(sparse));
  EXPECT_EQ(inbox.getMessage("42").title, "hi");
  // Written the old way, as a previous version (or another process) did.
  groupSuite()->set("qiv_inbox_old", entry(message("old")));
  EXPECT_EQ(inbox.getMessage("old").title, "title old");

  for (auto [id, map] :
       std::vector<std::pair<std::string, Value>>{{"a", incoming}, {"old", message("old")}}) {
    EXPECT_EQ(inbox.getMessage(id).status, "2");
    inbox.markReadMessage(id);
    map["qivibxr"] = "1";
    EXPECT_EQ(storedBytes(id), oldArchive(map)) << id << ": a mark-read re-stores the same way";
    EXPECT_EQ(inbox.getMessage(id).status, "1");
  }
  EXPECT_EQ(inbox.getUnreadMessageCount(), 0);
}

}  // namespace
}  // namespace tavrino
