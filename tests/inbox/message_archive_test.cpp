// Entries written straight from the record: byte for byte what archiving
// the stored map gives, readable the old way, and the old entries readable
// the new way.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/keyed_archive.hpp"
#include "inbox/inbox_cache.hpp"
#include "inbox/inbox_test.hpp"
#include "inbox/message_archive.hpp"

namespace tavrino {
namespace {

using testing::kTestEpoch;

// The entry as the map-based writer produced it.
Data oldArchive(const Value& message) {
  return archiveDictionary(Value(QivInboxHelper().createMessageMap(message)));
}

class MessageArchiveTest : public testing::InboxTest {
 protected:
  Data storedBytes(const std::string& id) {
    const auto stored = groupSuite()->object("qiv_inbox_" + id);
    return stored && stored->is_binary() ? Data(stored->get_binary()) : Data();
  }
};

TEST(MessageArchive, SameBytesAsTheMapArchiveAtEveryLengthBoundary) {
  std::vector<Value> messages = {
      Value::object(),  // every field its default
      {{"zbid", "m1"}, {"qivibxr", " "}, {"qivibxttl", ""}, {"qivibxmt", "news"}},
      {{"zbid", 42}, {"qivibxttl", 10}, {"qivibxdate", 1.5}, {"qivibxtimeout", true}},
      {{"zbid", "ü-é"},
       {"qivibxcap", "Grüße \xe2\x9c\x93"},
       {"qivibxbody", std::string("a\0b", 3)}},
  };
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

TEST(MessageArchive, RecordsNormaliseAsTheirMapsWould) {
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

TEST_F(MessageArchiveTest, EntriesAreStoredAndMarkedAsByTheMapWriterWhichItsEntriesReadAsBefore) {
  const Value incoming = {{"zbid", "a"},
                          {"qivibxttl", 10},
                          {"qivibxmt", "news"},
                          {"qivibxcap", "Hello"},
                          {"qivibxr", "2"},
                          {"qivibxdate", kTestEpoch},
                          {"qivibxtimeout", kTestEpoch + 600}};
  ASSERT_FALSE(inbox.setMessage(incoming));
  EXPECT_EQ(storedBytes("a"), oldArchive(incoming));
  // A map that lacks fields: their defaults are stored, as before.
  ASSERT_FALSE(inbox.setMessage(Value{{"zbid", "b"}}));
  EXPECT_EQ(storedBytes("b"), oldArchive(Value{{"zbid", "b"}}));
  // Written the old way, as a previous version (or another process) did.
  groupSuite()->set("qiv_inbox_old", Value::binary(oldArchive(message("old"))));
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
