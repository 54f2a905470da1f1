#include "platform/linux_notification_center.hpp"

#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include "tavrino/qiv_util.hpp"

namespace tavrino::platform {
namespace {

struct ObserverTable {
  struct Entry {
    std::string name;
    std::shared_ptr<const NotificationHandler> handler;
  };
  std::mutex mu;
  std::uint64_t nextId = 1;
  std::map<std::uint64_t, Entry> entries;  // by id: the order they were added

  std::shared_ptr<const NotificationHandler> handler(std::uint64_t id) {
    std::lock_guard lock(mu);
    auto it = entries.find(id);
    return it == entries.end() ? nullptr : it->second.handler;
  }
};

void deliver(const NotificationHandler& handler, const Notification& notification) {
  try {
    handler(notification);
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("notification observer failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("notification observer failed");
  }
}

class LinuxNotificationCenter final : public NotificationCenter {
 public:
  explicit LinuxNotificationCenter(std::function<void(Task)> postToMain)
      : postToMain_(std::move(postToMain)), table_(std::make_shared<ObserverTable>()) {}

  Observation addObserver(std::string name, NotificationHandler handler) override {
    if (!handler) return Observation();
    std::uint64_t id;
    {
      std::lock_guard lock(table_->mu);
      id = table_->nextId++;
      table_->entries.emplace(
          id, ObserverTable::Entry{std::move(name), std::make_shared<const NotificationHandler>(
                                                        std::move(handler))});
    }
    return Observation([weak = std::weak_ptr<ObserverTable>(table_), id] {
      if (auto table = weak.lock()) {
        std::lock_guard lock(table->mu);
        table->entries.erase(id);
      }
    });
  }

  void post(Notification notification) override {
    std::vector<std::uint64_t> ids;
    {
      std::lock_guard lock(table_->mu);
      for (const auto& [id, entry] : table_->entries) {
        if (entry.name == notification.name) ids.push_back(id);
      }
    }
    if (ids.empty()) return;
    // One task delivers to every observer in turn, each looked up again just
    // before its call: one removed meanwhile (even by an earlier observer of
    // this same notification) is not called.
    auto shared = std::make_shared<const Notification>(std::move(notification));
    postToMain_([weak = std::weak_ptr<ObserverTable>(table_), ids = std::move(ids), shared] {
      for (auto id : ids) {
        auto table = weak.lock();
        if (!table) return;
        if (auto handler = table->handler(id)) deliver(*handler, *shared);
      }
    });
  }

 private:
  std::function<void(Task)> postToMain_;
  std::shared_ptr<ObserverTable> table_;
};

}  // namespace

std::unique_ptr<NotificationCenter> makeLinuxNotificationCenter(
    std::function<void(Task)> postToMain) {
  return std::make_unique<LinuxNotificationCenter>(std::move(postToMain));
}

}  // namespace tavrino::platform
