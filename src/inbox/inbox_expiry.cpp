// Expiry: eviction order, the expiry sweep and the list of expired messages.
// A record's expiry is its timeoutDate as a whole number; one that is not a
// whole number counts as 0, so it is expired, listed and evicted first.

#include <algorithm>
#include <utility>
#include <vector>

#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_operations.hpp"
#include "inbox/inbox_time.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {
namespace {

bool keepsExpired(platform::UserDefaultsSuite& suite) {
  return suite.string(inbox::kStoreExpiredMessages) == "1";
}

// The expired records of category (all when none), earliest expiry first;
// listing order among equal expiries.
std::vector<QivInboxMessage> expiredRecords(QivInbox& inbox,
                                            const std::optional<std::string>& category) {
  auto suite = inbox.initStorageForQivInbox();
  if (!keepsExpired(*suite)) return {};  // checkMessages() deletes them instead
  inbox::ReadListing listing(suite);
  std::vector<QivInboxMessage> records;
  for (const auto& keyId : listing->expiredBefore(inbox::nowSeconds())) {
    const QivInboxMessage* record = listing->find(keyId);
    if (!category || record->category == *category) records.push_back(*record);
  }
  return records;
}

}  // namespace

bool QivInbox::pop() {
  auto suite = initStorageForQivInbox();
  inbox::InboxJournal journal;
  bool deleted = false;
  const bool committed = inbox::runListingTransaction(
      suite, journal, *this,
      [&](inbox::InboxListing& listing) { deleted = inbox::popEarliest(listing, journal); });
  return committed && deleted;
}

void QivInbox::checkMessages() {
  QivUtil::addLog("checkMessages called.");
  auto suite = initStorageForQivInbox();
  inbox::InboxJournal journal;
  inbox::runListingTransaction(suite, journal, *this, [&](inbox::InboxListing& listing) {
    if (keepsExpired(*suite)) return;
    // Deleted in key order, as the log lines have always told them.
    std::vector<std::string> expired = listing.expiredBefore(inbox::nowSeconds());
    std::sort(expired.begin(), expired.end());
    for (const auto& keyId : expired) {
      journal.log("checkMessages called. delete message : " + keyId);
      journal.log("deleteMessage called. id : " + keyId);
      listing.remove(keyId);
    }
  });
}

void QivInbox::checkCallback(MessageCallback inbox_callback) {
  QivUtil::addLog("checkCallback called.");
  checkMessages();
  message_callback = std::move(inbox_callback);
}

void QivInbox::storeExpiredMessage() {
  initStorageForQivInbox()->set(inbox::kStoreExpiredMessages, Value("1"));
}

bool QivInbox::isStoreExpiredMessageEnabled() {
  return keepsExpired(*initStorageForQivInbox());
}

std::vector<QivInboxMessage> QivInbox::getAllExpiredMessages() {
  QivUtil::addLog("getAllExpiredMessages called.");
  return expiredRecords(*this, std::nullopt);
}

std::vector<QivInboxMessage> QivInbox::getExpiredMessagesByCategory(std::string_view category) {
  QivUtil::addLog("getExpiredMessagesByCategory called.");
  return expiredRecords(*this, std::string(category));
}

}  // namespace tavrino
