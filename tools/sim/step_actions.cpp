// The steps a host does through the public API of this build.

#include <atomic>
#include <mutex>

#include "sim/player.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux_motion_manager.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

std::string messageLine(const QivInboxMessage& m) {
  std::string line =
      std::string(m.status == "1" ? "read  " : "unread") + "  " + m.id + "  \"" + m.title + "\"";
  if (!m.message.empty()) line += " - " + m.message;
  line += "  (" + m.channel + ")";
  return line;
}

nlohmann::ordered_json messageJson(const QivInboxMessage& m) {
  return {{"id", m.id},           {"category", m.category}, {"title", m.title},
          {"message", m.message}, {"url", m.url},           {"imageUrl", m.imageUrl},
          {"status", m.status},   {"channel", m.channel},   {"timeoutDate", m.timeoutDate}};
}

}  // namespace

void Player::doShow(const ShowStep& step) {
  std::shared_ptr<ui::ViewController> controller;
  if (step.isVirtual) {
    controller = screenOrWarn();
    if (!controller) return;
    if (host_.currentName() != step.screen) {
      return warn("a virtual page view stays on the shown screen, which is " + host_.currentName() +
                  ", not " + step.screen);
    }
    host_.client().virtual_execute(controller, step.page);
    return;
  }
  controller = host_.show(step.screen);
  host_.client().execute(controller, step.page);
}

void Player::doEvent(const EventStep& step) {
  const auto controller = screenOrWarn();
  if (controller) host_.client().createEvent(step.name, controller, step.params);
}

void Player::doCart(const CartStep& step) {
  if (step.extra) {
    host_.client().addItem(step.id, step.quantity, step.price, step.category, step.title,
                           *step.extra);
  } else {
    host_.client().addItem(step.id, step.quantity, step.price, step.category, step.title);
  }
}

void Player::doDeepLink(const DeepLinkStep& step) {
  host_.client().trackDeepLink(step.url, [this](const std::optional<std::string>& url) {
    timeline_.emit(EntryKind::sdk, "deep link handed back: " + url.value_or("(none)"));
  });
}

void Player::doShake(const ShakeStep& step) {
  auto* motion = dynamic_cast<platform::LinuxMotionManager*>(&platform_.motionManager());
  if (!motion) return warn("this platform's accelerometer cannot be fed");
  if (!motion->isAccelerometerActive()) {
    warn("the accelerometer is off (no shake campaign is armed); the shake goes unnoticed");
  }
  // The SDK polls the latest sample: a shake held for a moment, then rest.
  motion->feed({step.x, step.y, step.z});
  settle(std::chrono::milliseconds(step.milliseconds));
  motion->feed({0, 0, -1});
}

void Player::doListingBadges(const ListingBadgesStep& step) {
  const auto controller = screenOrWarn();
  if (controller) Tavrino::activateListingBadge(controller, {{"qivlid", step.items.dump()}});
}

void Player::doInbox(const InboxStep& step) {
  QivInbox inbox;
  if (!scenario_.sdk.appGroup.empty()) inbox.setStoreName(scenario_.sdk.appGroup);
  std::vector<std::string> categories;
  if (step.categoriesFromService) {
    // The answer arrives on the session thread; the host hands it over.
    struct Shared {
      std::mutex mu;
      std::optional<std::vector<std::string>> categories;
    };
    auto shared = std::make_shared<Shared>();
    inbox.getCategoryListwithAPI([shared](const std::vector<std::string>& list) {
      std::lock_guard lock(shared->mu);
      shared->categories = list;
    });
    platform_.dispatch().runUntil(
        [&] {
          std::lock_guard lock(shared->mu);
          return shared->categories.has_value();
        },
        10s);
    std::lock_guard lock(shared->mu);
    if (!shared->categories) return warn("the inbox categories never came back");
    categories = *shared->categories;
    std::string list;
    for (const auto& c : categories) list += (list.empty() ? "" : ", ") + c;
    Entry entry{EntryKind::inbox, "categories from the service: " + list};
    entry.data["categories"] = categories;
    timeline_.emit(std::move(entry));
  } else {
    categories = inbox.getCategoryList();
  }
  if (step.category) categories = {*step.category};

  nlohmann::ordered_json listing = nlohmann::ordered_json::object();
  for (const auto& category : categories) {
    const auto messages = inbox.getMessagesByCategory(category);
    std::string text = "category \"" + category + "\": " + std::to_string(messages.size()) +
                       (messages.size() == 1 ? " message" : " messages");
    auto list = nlohmann::ordered_json::array();
    for (const auto& message : messages) {
      text += "\n  " + messageLine(message);
      list.push_back(messageJson(message));
    }
    listing[category] = list;
    Entry entry{EntryKind::inbox, text};
    entry.data["category"] = category;
    entry.data["messages"] = list;
    timeline_.emit(std::move(entry));
  }
  Entry total{EntryKind::inbox, std::to_string(inbox.getMessageCount()) + " messages, " +
                                    std::to_string(inbox.getUnreadMessageCount()) + " unread"};
  total.data["count"] = inbox.getMessageCount();
  total.data["unread"] = inbox.getUnreadMessageCount();
  timeline_.emit(std::move(total));
}

}  // namespace tavrino::sim
