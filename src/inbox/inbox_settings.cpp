// Which suite the inbox lives in, and the limits the host configured.

#include "core/shared_configuration.hpp"
#include "inbox/inbox_keys.hpp"
#include "inbox/inbox_operations.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

// Returns the setting under key when it is a whole number of at least 1; a
// limit or lifetime of 0 or below means nothing usable.
std::int64_t positiveSetting(std::string_view key, std::int64_t fallback) {
  std::int64_t value = 0;
  if (!parseInteger(Util::readDefault(key), &value) || value < 1) return fallback;
  return value;
}

}  // namespace

namespace inbox {

std::int64_t configuredHistorySize(std::int64_t fallback) {
  return positiveSetting(kHistorySize, fallback);
}

}  // namespace inbox

void QivInbox::setStoreName(std::string_view store_name) {
  recordStep("inbox name set");
  messages_store_name = std::string(store_name);
}

std::shared_ptr<platform::UserDefaultsSuite> QivInbox::initStorageForQivInbox() {
  if (messages_store_name.empty()) messages_store_name = Util::readDefault(inbox::kGroupName);
  auto& defaults = platform::current().userDefaults();
  if (!messages_store_name.empty()) {
    auto suite = defaults.suite(messages_store_name);
    if (suite->isPersistent()) return suite;
    QivUtil::addLog("inbox store name refused. using : " + std::string(kPrivateStoreName));
  }
  return defaults.suite(kPrivateStoreName);
}

std::int64_t QivInbox::getAppInboxHistorySize() {
  const std::int64_t size = inbox::configuredHistorySize(max_hist_size);
  QivUtil::addLog("getAppInboxHistorySize called. size : " + std::to_string(size));
  return size;
}

std::int64_t QivInbox::getDefaultTimeout() {
  return positiveSetting(inbox::kDefaultTimeout, default_timeout);
}

}  // namespace tavrino
