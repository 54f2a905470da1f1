// Deleting messages by id, by category and all at once.

#include <vector>

#include "inbox/inbox_journal.hpp"
#include "inbox/inbox_listing.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/qiv_util.hpp"

namespace tavrino {
namespace {

bool deleteIds(QivInbox& inbox, const std::vector<std::string>& ids) {
  auto suite = inbox.initStorageForQivInbox();
  inbox::InboxJournal journal;
  bool existed = false;
  const bool committed =
      inbox::runListingTransaction(suite, journal, inbox, [&](inbox::InboxListing& listing) {
        for (const auto& id : ids) {
          journal.log("deleteMessage called. id : " + id);
          existed = listing.remove(id);
        }
      });
  return committed && existed;
}

// Removes the entries of every record that selects, unreadable ones included
// when they select: they are removed by their key, not by the id they lack.
void deleteWhere(QivInbox& inbox, const std::function<bool(const QivInboxMessage&)>& selects) {
  auto suite = inbox.initStorageForQivInbox();
  inbox::InboxJournal journal;
  inbox::runListingTransaction(suite, journal, inbox, [&](inbox::InboxListing& listing) {
    std::vector<std::string> doomed;
    listing.forEach([&](const std::string& keyId, const QivInboxMessage& record) {
      if (selects(record)) doomed.push_back(keyId);
    });
    for (const auto& keyId : doomed) listing.remove(keyId);
  });
}

}  // namespace

bool QivInbox::deleteMessage(std::string_view id) {
  return deleteIds(*this, {std::string(id)});
}

void QivInbox::deleteMessagesByIdlist(const std::vector<std::string>& idList) {
  QivUtil::addLog("deleteMessagesByIdlist called.");
  deleteIds(*this, idList);
}

void QivInbox::deleteMessagesByCategory(std::string_view category) {
  QivUtil::addLog("deleteMessagesByCategory called. category : " + std::string(category));
  deleteWhere(*this, [&](const QivInboxMessage& record) { return record.category == category; });
}

void QivInbox::deleteAllMessages() {
  QivUtil::addLog("deleteAllMessages called.");
  deleteWhere(*this, [](const QivInboxMessage&) { return true; });
}

}  // namespace tavrino
