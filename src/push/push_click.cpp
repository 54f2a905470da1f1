// A tap on a notification or on one of its action buttons: the click report
// and the click records. The callback and the link follow in
// push_click_link.cpp.

#include <array>
#include <string>

#include "core/shared_configuration.hpp"
#include "push/payload_fields.hpp"
#include "push/push_click_link.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

constexpr std::int64_t kClickRecordSeconds = 86400;
constexpr std::array<std::string_view, 5> kUtmSwitches = {"_utm_source", "_utm_medium", "_utm_term",
                                                          "_utm_campaign", "_utm_content"};

// The text of the entry, or fallback when it is absent, empty or of another
// kind.
std::string textOr(const Value& payload, std::string_view key, std::string_view fallback) {
  const auto text = push::textEntry(payload, key);
  return text && !text->empty() ? *text : std::string(fallback);
}

// The button of the tapped action, when the payload lists one: the last
// entry whose "id" equals the action.
std::optional<push::SelectedButton> selectButton(const Value& payload, std::string_view action) {
  if (action == Util::kOrganicAction) return std::nullopt;
  const Value* buttons = push::listEntry(payload, "actionButtons");
  if (buttons == nullptr) return std::nullopt;
  std::optional<push::SelectedButton> selected;
  for (const Value& button : *buttons) {
    if (!button.is_object()) {
      push::logSkippedEntry("actionButtons");
      continue;
    }
    const std::string id = textOr(button, "id", "0");
    if (id == action) selected = push::SelectedButton{id, textOr(button, "url", "")};
  }
  return selected;
}

// The payload's attribution entries that later requests carry: "qivparam"
// and the UTM entries, under the names the host configured.
void copyAttribution(const Value& payload, platform::UserDefaultsSuite& suite) {
  if (const auto qivparam = push::textEntry(payload, "qivparam")) suite.set("qivparam", *qivparam);
  for (const auto switchName : kUtmSwitches) {
    const std::string name = suite.string(switchName).value_or(std::string(switchName.substr(1)));
    if (name.empty()) continue;
    if (const auto text = push::textEntry(payload, name)) suite.set(name, *text);
  }
}

void reportClick(const Value& payload, const std::string& zbid,
                 const std::optional<push::SelectedButton>& button) {
  StringMap map;
  const std::pair<std::string_view, std::string_view> optional[] = {
      {"zbidn", "n"}, {"zbidcn", "cn"}, {"zbidcln", "clickname"}, {"zbidappn", "appname"}};
  for (const auto& [from, to] : optional) {
    if (const auto text = push::textEntry(payload, from)) map[std::string(to)] = *text;
  }
  if (const auto subscription = push::strictTextEntry(payload, "qivxid")) {
    map["qiv_subscription_id"] = *subscription;
  }
  const std::string clickid = button ? button->id : textOr(payload, "zbidclid", "1");
  const std::string appid = textOr(payload, "zbidapp", "3");
  map["zbid"] = zbid;
  map["a"] = "c";
  map["appid"] = appid;
  map["clickid"] = clickid;
  map["clcend"] = "1440";
  map["qivcfrom"] = "pushclick";
  map["s"] = Util::getCookieToQIVDefaults("_s", "0");

  const std::int64_t expiry = platform::current().clock().epochSeconds() + kClickRecordSeconds;
  const std::string record = zbid + ":" + clickid + " " + std::to_string(expiry);
  auto suite = Util::qivDefaults();
  // The attribution and the records ride along with the click request itself,
  // so they are stored before it is built.
  suite->transaction([&] {
    copyAttribution(payload, *suite);
    suite->set("qiv_lzbid" + appid, record);
    suite->set("qiv_c_" + zbid, record);
  });
  const std::string url = Util::createRequest("track", map);
  suite->set("_push_click_link", url);
  Util::getRequest("pushclick", url);
  Util::markAsReadInboxMessage(zbid);
}

}  // namespace

void Util::pushClicked(const Value& userInfo, std::string_view actionIdentifier) {
  QivUtil::addLog("pushClicked called.");
  std::string linkKey = readDefault("_link");
  if (linkKey.empty()) linkKey = "l";
  recordStep("push clicked called");

  const auto button = selectButton(userInfo, actionIdentifier);
  if (const auto zbid = push::campaignId(userInfo)) {
    QivUtil::addLog("pushClicked zbid not nil");
    reportClick(userInfo, *zbid, button);
  } else {
    QivUtil::addLog("pushClicked zbid nil");
  }
  push::callPushClickCallback(userInfo);
  push::openPayloadLink(userInfo, linkKey, button);
}

void Util::fakePCC(const Value&) {}

}  // namespace tavrino
