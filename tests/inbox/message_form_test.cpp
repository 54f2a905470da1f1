// A message's forms: a push payload becomes a map, and entries written
// straight from the record are byte for byte what archiving the stored map
// gives (readable the old way, the old entries readable the new way).

#include <regex>

#include "inbox/inbox_cache.hpp"
#include "inbox/inbox_test.hpp"
#include "inbox/message_archive.hpp"

namespace tavrino {
namespace {

using namespace testing;

// A map as "key=value;..." in key order, the test's second as "now"; an API
// push's own id (its id, the time and a draw of 1 to 100) shows the draw as "#".
std::string text(const StringMap& map) {
  const std::string now = std::to_string(kTestEpoch);
  std::string all;
  for (const auto& [key, value] : map) all += key + "=" + (value == now ? "now" : value) + ";";
  std::smatch drawn;
  if (std::regex_search(all, drawn, std::regex("zbid=\\w*" + now + "(\\d+);")) &&
      std::stoi(drawn[1]) >= 1 && std::stoi(drawn[1]) <= 100) {
    all.replace(drawn.position(1), drawn.length(1), "#");
  }
  return all;
}

class MessageFormTest : public InboxTest {
 protected:
  Data storedBytes(const std::string& id) {
    const auto stored = groupSuite()->object("qiv_inbox_" + id);
    return stored && stored->is_binary() ? Data(stored->get_binary()) : Data();
  }
  QivInboxHelper helper;
};

TEST_F(MessageFormTest, PushPayloadGetsTimesStatusIdsAndAlertTextsNeverOverflowing) {
  const std::string push = "qivibxchannel=push;qivibxdate=now;",
                    api = "zbid=77" + std::to_string(kTestEpoch) + "#;";
  const std::pair<const char*, std::string> cases[] = {
      {R"({"zbid": "5", "qivibxttl": 30, "m": "https://cdn/i.png", "l": "https://x/",
           "aps": {"alert": {"title": "T", "body": "B"}}})",
       "qivibxbody=B;qivibxcap=T;" + push + "qivibximg=https://cdn/i.png;qivibxr=2;qivibxtimeout=" +
           std::to_string(kTestEpoch + 1800) + ";qivibxu=https://x/;zbid=5;"},
      {R"({"qivibxr": "1", "aps": {"alert": "hello"}})",
       "qivibxbody=hello;" + push + "qivibxr=1;qivibxtimeout=now;"},
      {R"({"zbid": "77", "campaign_label": "api", "aps": {}})",
       "qivibxchannel=push_api;qivibxdate=now;qivibxr=2;qivibxtimeout=now;" + api},
      // A numeric id is no text to copy, yet an API push gets its own id.
      {R"({"zbid": 77, "campaign_label": "api"})",
       "qivibxchannel=push_api;qivibxdate=now;qivibxr=2;qivibxtimeout=now;" + api},
      // Without an id there is nothing to make unique.
      {R"({"campaign_label": "api", "aps": {"alert": "a"}})",
       "qivibxbody=a;qivibxchannel=push_api;qivibxdate=now;qivibxr=2;qivibxtimeout=now;"},
      // A status that is no text is carried by its textual form.
      {R"({"qivibxr": 1})", push + "qivibxr=1;qivibxtimeout=now;"},
      // Hostile: saturated, not wrapped.
      {R"({"qivibxttl": "9223372036854775807", "qivibxr": null, "aps": {"alert": 3}})",
       push + "qivibxr=2;qivibxtimeout=9223372036854775807;qivibxttl=9223372036854775807;"},
      {R"({"qivibxttl": "-9223372036854775807"})",
       push + "qivibxr=2;qivibxtimeout=-9223372036854775808;qivibxttl=-9223372036854775807;"},
      {"[1, 2]", push + "qivibxr=2;qivibxtimeout=now;"}};
  for (const auto& [payload, expected] : cases) {
    EXPECT_EQ(text(helper.convertMessageObjectFromPush(Value::parse(payload))), expected)
        << payload;
  }
}

TEST(MessageArchive, SameBytesAsTheMapArchiveAtEveryLengthBoundary) {
  std::vector<Value> messages = {
      Value::object(),  // every field its default
      {{"zbid", "m1"}, {"qivibxr", " "}, {"qivibxttl", ""}, {"qivibxmt", "news"}},
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
}

}  // namespace
}  // namespace tavrino
