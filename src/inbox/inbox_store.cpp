// Storing messages: setMessage with its eviction, and the mark-read family
// that re-stores messages through it.

#include <algorithm>
#include <optional>
#include <vector>

#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_operations.hpp"
#include "inbox/message_archive.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace inbox {

bool storeMessage(InboxListing& listing, const Value& message, const StoreOptions& options,
                  InboxJournal& journal) {
  return storeRecord(listing, normalisedRecord(message), options, journal);
}

bool storeRecord(InboxListing& listing, QivInboxMessage record, const StoreOptions& options,
                 InboxJournal& journal) {
  journal.step("setMessage called");
  // The record is normalised: an id that was absent or blank is empty here.
  record = normalisedRecord(std::move(record));
  const std::string id = record.id.empty() ? std::string("0") : record.id;
  if (id == "0") {
    journal.log("setMessage called. message has no id");
    return false;
  }
  journal.log("getMessageCount called.");
  journal.log("getAllMessages called.");
  journal.step("getAllMessages called");
  journal.log("getAppInboxHistorySize called. size : " + std::to_string(options.limit));

  // A re-store (every mark-read is one) replaces its entry and takes no room.
  bool evicted = false;
  if (!listing.contains(id)) {
    const auto limit = static_cast<std::size_t>(std::max<std::int64_t>(options.limit, 1));
    while (listing.size() >= limit && popEarliest(listing, journal)) evicted = true;
  }
  listing.store(id, std::move(record));

  journal.log("getCounts called.");
  journal.counts(options.countsWanted ? listing.countsByStatus() : QivInbox::Counts{});
  journal.stepIfCommitted("inbox message set");
  journal.logIfRolledBack("inbox message not stored : " + id);
  return evicted;
}

bool popEarliest(InboxListing& listing, InboxJournal& journal) {
  journal.logAndStep("QivInbox pop called.");
  const std::optional<std::string> keyId = listing.earliestExpiry();
  journal.log("deleteMessage called. id : " + keyId.value_or(""));
  return keyId && listing.remove(*keyId);
}

void markOneRead(InboxListing& listing, std::string_view id, const StoreOptions& options,
                 InboxJournal& journal) {
  journal.step("markReadMessage called id : " + std::string(id));
  journal.log("getMessage called. id : " + std::string(id));
  const QivInboxMessage* stored = listing.find(id);
  QivInboxMessage message = stored ? *stored : QivInboxMessage{};
  message.status = std::string(kStatusRead);
  storeRecord(listing, std::move(message), options, journal);
}

}  // namespace inbox

namespace {

inbox::StoreOptions storeOptions(const QivInbox& inbox) {
  return {inbox::configuredHistorySize(inbox.max_hist_size),
          static_cast<bool>(inbox.message_callback)};
}

// Marks read every record that selects, as markReadMessagesByCategory and
// markReadAllMessages do.
void markReadWhere(QivInbox& inbox, const std::function<bool(const QivInboxMessage&)>& selects) {
  auto suite = inbox.initStorageForQivInbox();
  const inbox::StoreOptions options = storeOptions(inbox);
  inbox::InboxJournal journal;
  inbox::runListingTransaction(suite, journal, inbox, [&](inbox::InboxListing& listing) {
    std::vector<QivInboxMessage> selected;
    // Re-storing goes by the record's own id: an entry filed under another
    // key (damaged or foreign data) would overwrite or add a message.
    listing.forEach([&](const std::string& keyId, const QivInboxMessage& record) {
      if (keyId == record.id && selects(record)) selected.push_back(record);
    });
    for (auto& record : selected) {
      record.status = std::string(inbox::kStatusRead);
      inbox::storeRecord(listing, std::move(record), options, journal);
    }
  });
}

// Marks the messages read in list order, in one transaction.
void markReadIds(QivInbox& inbox, const std::vector<std::string>& ids) {
  auto suite = inbox.initStorageForQivInbox();
  const inbox::StoreOptions options = storeOptions(inbox);
  inbox::InboxJournal journal;
  inbox::runListingTransaction(suite, journal, inbox, [&](inbox::InboxListing& listing) {
    for (const auto& id : ids) inbox::markOneRead(listing, id, options, journal);
  });
}

}  // namespace

bool QivInbox::setMessage(const Value& message) {
  auto suite = initStorageForQivInbox();
  const inbox::StoreOptions options = storeOptions(*this);
  inbox::InboxJournal journal;
  bool evicted = false;
  const bool committed =
      inbox::runListingTransaction(suite, journal, *this, [&](inbox::InboxListing& listing) {
        evicted = inbox::storeMessage(listing, message, options, journal);
      });
  return committed && evicted;
}

bool QivInbox::setMessage(const StringMap& message) {
  return setMessage(Value(message));
}

void QivInbox::markReadMessage(std::string_view id) {
  markReadIds(*this, {std::string(id)});
}

void QivInbox::markReadMessageByIdlist(const std::vector<std::string>& idList) {
  QivUtil::addLog("markReadMessageByIdlist called.");
  markReadIds(*this, idList);
}

void QivInbox::fakeMC(const Counts&) {
  QivUtil::addLog("message callback null");
}

void QivInbox::markReadMessagesByCategory(std::string_view category) {
  QivUtil::addLog("markReadMessagesByCategory called. category : " + std::string(category));
  markReadWhere(*this, [&](const QivInboxMessage& record) { return record.category == category; });
}

void QivInbox::markReadAllMessages() {
  QivUtil::addLog("markReadAllMessages called.");
  markReadWhere(*this, [](const QivInboxMessage&) { return true; });
}

}  // namespace tavrino
