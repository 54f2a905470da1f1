// A remote notification that reached the application: inbox filing, and by
// the application's state a click (opened from the notification) or a copy
// shown again in the foreground.

#include <string>

#include "push/payload_fields.hpp"
#include "push/receipt_foreground.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

void fileIntoInbox(const Value& payload) {
  const std::string answer = Util::hasInboxMessage(payload);
  QivUtil::addLog("didreceiveNotification called. hasinboxmessage : " + answer);
  if (!Util::isEnabledAppInbox() || answer != "write") return;
  if (!push::hasMember(payload, "qivibxmt") || !push::hasMember(payload, "qivibxttl")) return;
  QivInbox inbox;
  inbox.setStoreName(Util::readDefault("qiv_inbox_groupname"));
  inbox.setMessage(QivInboxHelper().convertMessageObjectFromPush(payload));
}

void receive(platform::Application* application, const Value& payload) {
  fileIntoInbox(payload);
  auto& app = application != nullptr ? *application : platform::current().application();
  const bool hasPayload = payload.is_object() && !payload.empty();
  switch (app.applicationState()) {
    case platform::ApplicationState::inactive:
      // The user opened the application from the notification.
      if (hasPayload) Util::pushClicked(payload, Util::kOrganicAction);
      break;
    case platform::ApplicationState::background:
      break;
    case platform::ApplicationState::active:
      if (hasPayload) push::showInForeground(payload, app);
      break;
  }
}

}  // namespace

void Tavrino::didReceiveNotification(platform::Application* application, const Value& userInfo) {
  receive(application, userInfo);
}

void Tavrino::didReceiveBackgroundNotification(platform::Application* application,
                                               const Value& userInfo) {
  receive(application, userInfo);
}

void Tavrino::setPayloadLink(std::string_view link) {
  Util::setCookieToQIVDefaults("_link", link);
}

void Tavrino::setPayloadImage(std::string_view image) {
  Util::setCookieToQIVDefaults("_image", image);
}

}  // namespace tavrino
