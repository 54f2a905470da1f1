#pragma once

// QivInbox: the app inbox. Messages live in a user-defaults suite named after
// the host's app group, so the host application and its notification
// extension (another process) share them. Each message is one entry
// "qiv_inbox_" + id holding the archive of its stored map.
//
// The store holds at most getAppInboxHistorySize() messages: storing a new
// identifier into a full inbox first evicts the message that expires first.
// checkMessages() deletes expired messages unless storeExpiredMessage() asked
// to keep them.
//
// Thread-safety: the persistent state is safe to share between threads and
// processes: every read-modify-write (store with eviction, mark-read, delete,
// expiry sweep) runs as one transaction of the suite. A QivInbox object itself
// is a plain value with public fields: use one object from one thread at a
// time (or copy it). Callbacks run after the transaction has committed, on
// the calling thread, except the category callback (the session thread).

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/inbox/qiv_inbox_message.hpp"
#include "tavrino/platform/user_defaults.hpp"
#include "tavrino/value.hpp"

namespace tavrino {

class TAVRINO_EXPORT QivInbox {
 public:
  // Message count per status value ("2" unread, "1" read).
  using Counts = std::map<std::string, std::int64_t>;
  using MessageCallback = std::function<void(const Counts& counts)>;
  using CategoryCallback = std::function<void(const std::vector<std::string>& categories)>;

  // The suite used when no usable store name is known: no app group is set,
  // or the platform refused the name.
  static constexpr std::string_view kPrivateStoreName = "qiv_inbox_app";

  // Sets the name of the inbox suite and records the step "inbox name set".
  void setStoreName(std::string_view store_name);

  // Returns the inbox suite. An empty messages_store_name is first taken from
  // the app group name ("qiv_inbox_groupname"). When the name is still empty,
  // or the platform refuses it, the private suite kPrivateStoreName is used
  // (messages_store_name stays as it was, so a later group name is picked up).
  std::shared_ptr<platform::UserDefaultsSuite> initStorageForQivInbox();

  std::int64_t getMessageCount();
  // Counts the records whose status is "2".
  std::int64_t getUnreadMessageCount();
  std::int64_t getUnreadMessageCountByCategory(std::string_view category);
  // Returns the distinct categories in listing order; "" when some record
  // has none.
  std::vector<std::string> getCategoryList();
  std::int64_t getCategoryCount();
  // Counts the records per non-empty status.
  Counts getCounts();
  Counts getCountsByCategory(std::string_view category);

  // Returns the message stored under id, or a record with every property
  // empty.
  QivInboxMessage getMessage(std::string_view id);
  // Returns every record, in the suite's enumeration order.
  std::vector<QivInboxMessage> getAllMessages();
  std::vector<QivInboxMessage> getMessagesByCategory(std::string_view category);

  // Re-stores the message with status "1". A missing id changes nothing.
  void markReadMessage(std::string_view id);
  void markReadMessageByIdlist(const std::vector<std::string>& idList);
  void markReadMessagesByCategory(std::string_view category);
  void markReadAllMessages();

  // Returns true iff a message was stored under id (it is gone now).
  bool deleteMessage(std::string_view id);
  void deleteMessagesByIdlist(const std::vector<std::string>& idList);
  void deleteMessagesByCategory(std::string_view category);
  // Removes every message entry, unreadable ones included.
  void deleteAllMessages();

  // Deletes the message that expires first (an expiry that is not a whole
  // number counts as 0). Returns true iff one was deleted.
  bool pop();
  // Deletes every message whose expiry is earlier than now, unless expired
  // messages are kept (storeExpiredMessage()).
  void checkMessages();
  // Runs checkMessages(), then makes inbox_callback the message callback
  // (without calling it).
  void checkCallback(MessageCallback inbox_callback);

  // Stores a message map under "qiv_inbox_" + its "zbid" (text-value rule), in
  // its normalised form, replacing an earlier message of that id. Storing a
  // new id into a full inbox first evicts the messages that expire first until
  // there is room. Then calls message_callback (or fakeMC) with getCounts().
  // A map without an id stores nothing and evicts nothing. Returns true iff a
  // message was evicted.
  bool setMessage(const Value& message);
  bool setMessage(const StringMap& message);

  bool hasMessage(std::string_view id);
  // Keeps expired messages from now on; nothing turns this off.
  void storeExpiredMessage();
  bool isStoreExpiredMessageEnabled();
  // Returns the expired messages, earliest expiry first, when expired
  // messages are kept; else nothing (they are deleted instead).
  std::vector<QivInboxMessage> getAllExpiredMessages();
  std::vector<QivInboxMessage> getExpiredMessagesByCategory(std::string_view category);

  // Returns "_inbox_history_size", or max_hist_size when it is absent, not a
  // whole number, or below 1.
  std::int64_t getAppInboxHistorySize();
  // Returns "_inbox_default_timeout", or default_timeout when it is absent,
  // not a whole number, or below 1.
  std::int64_t getDefaultTimeout();

  // Fetches the service's category list ("inboxlist") without blocking and
  // calls category_callback with it on the session thread, unless the SDK
  // defaults hold "inboxcb" = "0". A failed request, an answer that is not a
  // JSON array, or an empty list gives the local getCategoryList() instead.
  void getCategoryListwithAPI(CategoryCallback category_callback);

  // The message callback used when none is set: logs "message callback null".
  void fakeMC(const Counts& closur);

  std::int64_t max_hist_size = 20;
  std::int64_t default_timeout = 10080;
  MessageCallback message_callback;
  std::string messages_store_name;
};

}  // namespace tavrino
