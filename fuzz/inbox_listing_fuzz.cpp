// The inbox over arbitrary stored bytes: message entries "qiv_inbox_<n>"
// holding fuzzed archives, listed, counted, swept, deleted and stored into.
//
// Input: one settings byte (bit 0: keep expired messages; the next three
// bits: the history size less one), then pieces separated by "@@\n". A piece
// starting with 'J' is a JSON map archived as the SDK archives it, 'T' is
// stored as text rather than data, 'S' is a JSON map handed to setMessage
// at the end, anything else is stored as raw data.

#include <algorithm>

#include "core/keyed_archive.hpp"
#include "fuzz_support.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"

using namespace tavrino;
using fuzz::require;

namespace {

constexpr std::string_view kPrefix = "qiv_inbox_";

std::int64_t expiryOf(const QivInboxMessage& message) {
  std::int64_t value = 0;
  return parseInteger(message.timeoutDate, &value) ? value : 0;
}

// The entries in the suite; nothing else may be there.
std::vector<std::string> entryIds(platform::UserDefaultsSuite& suite) {
  std::vector<std::string> ids;
  for (const auto& [key, value] : suite.dictionaryRepresentation()) {
    if (key.starts_with(kPrefix)) {
      ids.push_back(key.substr(kPrefix.size()));
    } else if (key != "store_expired_messages") {
      fuzz::fail("foreign key " + key);
    }
  }
  return ids;
}

// Listing, counts and categories agree with each other and with the suite.
void checkListing(QivInbox& inbox, platform::UserDefaultsSuite& suite) {
  const auto n = static_cast<std::int64_t>(entryIds(suite).size());
  const auto all = inbox.getAllMessages();
  require(inbox.getMessageCount() == n && static_cast<std::int64_t>(all.size()) == n,
          "count or listing is not the number of entries");
  std::int64_t counted = 0;
  for (const auto& [status, count] : inbox.getCounts()) {
    require(!status.empty() && count > 0, "empty status or count counted");
    counted += count;
  }
  require(counted <= n, "counts exceed the entries");
  const auto unread =
      std::count_if(all.begin(), all.end(), [](const auto& m) { return m.status == "2"; });
  require(inbox.getUnreadMessageCount() == unread, "unread count disagrees with the listing");

  const auto categories = inbox.getCategoryList();
  std::size_t listed = 0;
  for (const auto& category : categories) {
    require(std::count(categories.begin(), categories.end(), category) == 1,
            "category listed twice");
    const auto messages = inbox.getMessagesByCategory(category);
    listed += messages.size();
    std::int64_t unreadHere = 0;
    for (const auto& message : messages) {
      require(message.category == category, "message under a foreign category");
      unreadHere += message.status == "2";
    }
    require(inbox.getUnreadMessageCountByCategory(category) == unreadHere,
            "unread count of a category disagrees");
  }
  require(listed == all.size(), "categories do not partition the listing");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::install({{"_enable_inbox", "1"}, {"qiv_inbox_groupname", "fuzzinbox"}});
  if (size == 0) return 0;

  const bool keepExpired = (data[0] & 1) != 0;
  const std::int64_t history = ((data[0] >> 1) & 7) + 1;
  Util::setCookieToQIVDefaults("_inbox_history_size", std::to_string(history));

  QivInbox inbox;
  auto suite = inbox.initStorageForQivInbox();
  std::vector<Value> toStore;
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) suite->remove(key);
    if (keepExpired) suite->set("store_expired_messages", Value("1"));
    const auto pieces = fuzz::splitAt(fuzz::text(data + 1, size - 1), "@@\n");
    for (std::size_t i = 0; i < pieces.size(); ++i) {
      const std::string_view piece = pieces[i], rest = piece.substr(piece.empty() ? 0 : 1);
      const Data bytes(rest.begin(), rest.end());
      const char kind = piece.empty() ? '\0' : piece[0];
      if (kind == 'S') {
        toStore.push_back(Util::parseJSONObject(bytes));
      } else {
        suite->set(std::string(kPrefix) + std::to_string(i),
                   kind == 'J'   ? Value::binary(archiveDictionary(Util::parseJSONObject(bytes)))
                   : kind == 'T' ? Value(std::string(rest))
                                 : Value::binary(Data(piece.begin(), piece.end())));
      }
    }
  });

  checkListing(inbox, *suite);

  // Expired messages: listed earliest first when kept, swept otherwise.
  const auto now = [] { return platform::current().clock().epochSeconds(); };
  const std::int64_t before = now();
  const auto expired = inbox.getAllExpiredMessages();
  require(keepExpired || expired.empty(), "expired messages listed while swept");
  for (std::size_t i = 0; i < expired.size(); ++i) {
    require(expiryOf(expired[i]) < now(), "a live message listed as expired");
    require(i == 0 || expiryOf(expired[i - 1]) <= expiryOf(expired[i]), "expired out of order");
  }
  const auto countBefore = inbox.getMessageCount();
  inbox.checkMessages();
  if (keepExpired) {
    require(inbox.getMessageCount() == countBefore, "kept messages swept");
  } else {
    for (const auto& message : inbox.getAllMessages()) {
      require(expiryOf(message) >= before, "an expired message survived the sweep");
    }
  }
  checkListing(inbox, *suite);

  // Deletes: an entry that exists goes, one that does not changes nothing.
  if (const auto ids = entryIds(*suite); !ids.empty()) {
    const auto count = inbox.getMessageCount();
    require(inbox.deleteMessage(ids.front()) && !inbox.hasMessage(ids.front()) &&
                inbox.getMessageCount() == count - 1 && !inbox.deleteMessage(ids.front()),
            "delete of a stored message did not remove it alone, once");
  }
  if (const auto count = inbox.getMessageCount(); count > 0) {
    require(inbox.pop() && inbox.getMessageCount() == count - 1, "pop did not remove one message");
  }

  // Stores: a message with an id is there afterwards, a new one within the
  // history size.
  for (const Value& message : toStore) {
    const std::string id = Util::tryCatch(message, "zbid", "0");
    const bool wasThere = id != "0" && inbox.hasMessage(id);
    const auto count = inbox.getMessageCount();
    inbox.setMessage(message);
    if (id == "0") {
      require(inbox.getMessageCount() == count, "a message without id changed the inbox");
    } else {
      require(inbox.hasMessage(id), "stored message missing: " + id);
      require(wasThere ? inbox.getMessageCount() == count : inbox.getMessageCount() <= history,
              "store exceeded the history size");
    }
  }
  inbox.markReadAllMessages();
  checkListing(inbox, *suite);
  inbox.deleteAllMessages();
  require(inbox.getMessageCount() == 0, "messages survived deleteAllMessages");
  platform::current().dispatch().runUntilIdle();
  return 0;
}
