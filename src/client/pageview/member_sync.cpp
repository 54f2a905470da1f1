// What a page view tells beyond the page itself: the push state at the start
// of a visit or for a new member, the company id, the app group's copy of the
// visitor.

#include "client/pageview/member_sync.hpp"

#include "core/shared_configuration.hpp"
#include "core/store_writes.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino::pageview {
namespace {

std::string memberOf(const StringMap& localmap) {
  const auto it = localmap.find("cuid");
  return it == localmap.end() ? std::string() : it->second;
}

}  // namespace

void resendPushState(const StringMap& localmap, std::int64_t pageViewCount) {
  // The member of the previous page views: the last non-empty "cuid".
  const auto cuid = localmap.find("cuid");
  const bool memberChanged = cuid != localmap.end() && cuid->second != Util::readDefault("cuid2");
  if (!Util::isPushEnabled() || (pageViewCount != 1 && !memberChanged)) return;
  QivUtil::addLog("System push enabled. new visit started or member id changed.");
  if (Util::readDefault("_enable_push") != "1") {
    QivUtil::addLog("qiv push disable.");
    return;
  }
  QivUtil::addLog("qiv push enable.");
  if (Util::readDefault("qiv_token").empty()) {
    QivUtil::addLog("token not set yet.");
    Util::setCookieToQIVDefaults("_token_state", "false");
    return;
  }
  Util::getRequest("token", Util::createRequest("push", localmap));
}

void recordMember(const StringMap& localmap) {
  auto store = Util::qivDefaults();
  const auto cuid = localmap.find("cuid");
  setText(*store, "_cuid", memberOf(localmap));
  if (cuid != localmap.end()) setText(*store, "cuid2", cuid->second);
}

std::string normalizeCompanyId() {
  std::string id = processState().withConfig([](SharedConfiguration& c) { return c.companyId; });
  if (parseNumber(id, nullptr)) return id;
  const auto dash = id.find('-');
  if (dash == std::string::npos) return id;
  const auto next = id.find('-', dash + 1);
  id = id.substr(dash + 1, next == std::string::npos ? std::string::npos : next - dash - 1);
  processState().withConfig([&](SharedConfiguration& c) { c.companyId = id; });
  Util::setCookieToQIVDefaults("_s", id);
  return id;
}

void copyVisitorToAppGroup(const std::string& group, const std::string& uid,
                           const StringMap& localmap) {
  if (group.empty()) return;
  auto suite = platform::current().userDefaults().suite(group);
  const std::string member = memberOf(localmap);
  // The visitor rarely changes between page views.
  if (suite->string("uid") == uid && (member.empty() || suite->string("cuid") == member)) return;
  suite->transaction([&] {
    suite->set("uid", uid);
    if (!member.empty()) suite->set("cuid", member);
  });
}

}  // namespace tavrino::pageview
