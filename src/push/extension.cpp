// The notification service extension's entry: it runs in a process of its
// own for each notification and enriches the content before it is shown:
// the delivery report, the shared inbox, the action buttons and the image.

#include <string>

#include "core/shared_configuration.hpp"
#include "push/extension_image.hpp"
#include "push/payload_fields.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/inbox/qiv_inbox_helper.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

constexpr std::string_view kNoGroup = "notset";

void reportDelivery(const Value& payload, const std::string& zbid, std::string_view appGroup) {
  recordStep("did receive notification extension zbid not null");
  StringMap map;
  map["zbid"] = zbid;
  map["a"] = "v";
  map["s"] = processState().withConfig([](SharedConfiguration& c) { return c.companyId; });
  map["qivcfrom"] = "pushview";
  map["qivpnst"] = "1";
  if (appGroup != kNoGroup) {
    recordStep("did receive notification extension inbox init");
    auto group = platform::current().userDefaults().suite(appGroup);
    if (auto uid = group->string("uid")) map["uids"] = *uid;
    if (auto cuid = group->string("cuid")) map["cuid"] = *cuid;
  }
  if (auto subscription = push::strictTextEntry(payload, "qivxid")) {
    map["qiv_subscription_id"] = *subscription;
  }
  const std::string url = Util::createRequest("track", map);
  recordStep("did receive notification extension view request triggered");
  Util::getRequest("pushview", url);
}

void fileIntoSharedInbox(const Value& payload, std::string_view appGroup) {
  recordStep("did receive notification extension inbox message prepared");
  QivInbox inbox;
  inbox.setStoreName(appGroup);
  inbox.setMessage(QivInboxHelper().convertMessageObjectFromPush(payload));
  recordStep("did receive notification extension inbox message set");
}

}  // namespace

platform::MutableNotificationContent& Tavrino::didReceiveNotificationExtension(
    platform::MutableNotificationContent& content, const platform::NotificationRequest& request) {
  recordStep("did receive notification extension 3 called");
  return didReceiveNotificationExtension(content, request, "m");
}

platform::MutableNotificationContent& Tavrino::didReceiveNotificationExtension(
    platform::MutableNotificationContent& content, const platform::NotificationRequest& request,
    std::string_view imageKey) {
  recordStep("did receive notification extension 2 called");
  return didReceiveNotificationExtension(content, request, imageKey, kNoGroup);
}

platform::MutableNotificationContent& Tavrino::didReceiveNotificationExtension(
    platform::MutableNotificationContent& content, const platform::NotificationRequest& request,
    std::string_view imageKey, std::string_view appGroup) {
  recordStep("did receive notification extension called");
  // An empty group names no group either.
  if (appGroup.empty()) appGroup = kNoGroup;
  const Value& payload = request.content.userInfo;
  const std::string image = push::imageAddress(payload, imageKey);
  const auto zbid = push::campaignId(payload);

  if (zbid) reportDelivery(payload, *zbid, appGroup);
  if (appGroup != kNoGroup && push::hasMember(payload, "qivibxmt") &&
      push::hasMember(payload, "qivibxttl")) {
    fileIntoSharedInbox(payload, appGroup);
  }
  if (push::hasMember(payload, "actionButtons")) {
    if (const Value* buttons = push::listEntry(payload, "actionButtons")) {
      addActionButtons(appGroup, *buttons, zbid.value_or(""), content);
    }
  }
  push::attachImage(image, zbid.value_or(""), content);
  return content;
}

}  // namespace tavrino
