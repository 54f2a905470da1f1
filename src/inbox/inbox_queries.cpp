// Reading the inbox: counts, categories and records. Each reads one listing.

#include <algorithm>

#include "core/shared_configuration.hpp"
#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_listing.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {
namespace {

std::int64_t unread(const QivInbox::Counts& counts) {
  const auto it = counts.find(std::string(inbox::kStatusUnread));
  return it == counts.end() ? 0 : it->second;
}

std::vector<QivInboxMessage> recordsWhere(
    QivInbox& inbox, const std::function<bool(const QivInboxMessage&)>& selects) {
  inbox::ReadListing listing(inbox.initStorageForQivInbox());
  std::vector<QivInboxMessage> records;
  for (const auto& record : listing->records()) {
    if (selects(record)) records.push_back(record);
  }
  return records;
}

}  // namespace

std::int64_t QivInbox::getMessageCount() {
  QivUtil::addLog("getMessageCount called.");
  inbox::ReadListing listing(initStorageForQivInbox());
  return static_cast<std::int64_t>(listing->size());
}

std::int64_t QivInbox::getUnreadMessageCount() {
  QivUtil::addLog("getUnreadMessageCount called.");
  inbox::ReadListing listing(initStorageForQivInbox());
  return unread(listing->countsByStatus());
}

std::int64_t QivInbox::getUnreadMessageCountByCategory(std::string_view category) {
  QivUtil::addLog("getUnreadMessageCountByCategory called. category : " + std::string(category));
  inbox::ReadListing listing(initStorageForQivInbox());
  return unread(listing->countsByStatus(std::string(category)));
}

std::vector<std::string> QivInbox::getCategoryList() {
  QivUtil::addLog("getCategoryList called.");
  std::vector<std::string> categories;
  inbox::ReadListing listing(initStorageForQivInbox());
  listing->forEach([&](const std::string&, const QivInboxMessage& record) {
    if (std::find(categories.begin(), categories.end(), record.category) == categories.end()) {
      categories.push_back(record.category);
    }
  });
  return categories;
}

std::int64_t QivInbox::getCategoryCount() {
  QivUtil::addLog("getCategoryCount called.");
  return static_cast<std::int64_t>(getCategoryList().size());
}

QivInbox::Counts QivInbox::getCounts() {
  QivUtil::addLog("getCounts called.");
  inbox::ReadListing listing(initStorageForQivInbox());
  return listing->countsByStatus();
}

QivInbox::Counts QivInbox::getCountsByCategory(std::string_view category) {
  QivUtil::addLog("getCountsByCategory called. category : " + std::string(category));
  inbox::ReadListing listing(initStorageForQivInbox());
  return listing->countsByStatus(std::string(category));
}

QivInboxMessage QivInbox::getMessage(std::string_view id) {
  QivUtil::addLog("getMessage called. id : " + std::string(id));
  const std::optional<Value> stored = initStorageForQivInbox()->object(inbox::entryKey(id));
  return stored ? inbox::decodeEntry(*stored) : QivInboxMessage{};
}

std::vector<QivInboxMessage> QivInbox::getAllMessages() {
  QivUtil::addLog("getAllMessages called.");
  recordStep("getAllMessages called");
  return inbox::ReadListing(initStorageForQivInbox())->records();
}

std::vector<QivInboxMessage> QivInbox::getMessagesByCategory(std::string_view category) {
  QivUtil::addLog("getMessagesByCategory called. category : " + std::string(category));
  recordStep("getMessagesByCategory called");
  return recordsWhere(*this,
                      [&](const QivInboxMessage& record) { return record.category == category; });
}

bool QivInbox::hasMessage(std::string_view id) {
  return initStorageForQivInbox()->object(inbox::entryKey(id)).has_value();
}

}  // namespace tavrino
