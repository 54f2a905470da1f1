// The page view: switches, visit bookkeeping, the request, and the hand-off
// to the campaign engine on the main queue. Nothing here waits: the request
// leaves from the engine's background work.
//
// The store writes of one page view commit together. The inbox and the app
// group's suite are written outside that transaction: their own transactions
// read this store, so nesting them here could deadlock against the answer
// handling on another thread.

#include <exception>
#include <string>

#include "campaign/answer/engine_state.hpp"
#include "client/pageview/member_sync.hpp"
#include "client/pageview/page_switches.hpp"
#include "client/pageview/visit_bookkeeping.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/inbox.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

// The banners of the previous screen go with it.
void removeBanners() {
  const auto window = platform::current().application().keyWindow();
  if (!window) return;
  const auto subviews = window->subviews();
  for (const auto& view : subviews) {
    if (view->accessibilityIdentifier() == "qiv_banner") view->removeFromSuperview();
  }
}

// Starts the page's campaign bookkeeping afresh.
void resetPageState(std::string_view virtual_) {
  processState().withConfig([&](SharedConfiguration& c) {
    c.virtualFlag = virtual_ == "0" ? "0" : "1";
    c.pageItems = std::move(c.pendingItems);
    c.pendingItems.clear();
    if (!c.allowedDomains) c.allowedDomains.emplace();
    if (!c.allowedFunctions) c.allowedFunctions = Value::object();
  });
  processState().withCampaign([](CampaignState& c) { c = CampaignState(); });
}

// The log is on while "qivtest" is set; its lines are composed only then.
bool logging() {
  return !Util::readDefault("qivtest").empty();
}

void checkInboxMessages() {
  if (!Util::isEnabledAppInbox()) return;
  QivUtil::addLog("appinbox enable. checking messages...");
  QivInbox inbox;
  inbox.setStoreName(Util::readDefault("qiv_inbox_groupname"));
  inbox.checkMessages();
}

}  // namespace

void Tavrino::execute(const ViewControllerPtr& view, const StringMap& localmap) {
  execute(view, localmap, "0");
}

void Tavrino::execute(const ViewControllerPtr& view, const StringMap& localmap,
                      std::string_view virtual_) try {
  if (logging()) QivUtil::addLog("execute called with : " + QivUtil::mapToString(localmap));
  recordStep("execute called.");
  if (!Util::readDefault("_push_click_link").empty()) {
    Util::removeCookieFromQIVDefaults("_push_click_link");
  }
  processState().incrementExecCounter();
  if (localmap.empty()) return;

  if (virtual_ == "0") removeBanners();
  resetPageState(virtual_);
  checkInboxMessages();

  const std::string className = view ? view->className() : std::string();
  std::string url;
  std::string uid;
  std::string group;
  bool logOn = false;
  auto store = Util::qivDefaults();
  store->transaction([&] {
    clearCustomActions();
    const pageview::PageKeys keys = pageview::readPageKeys(localmap, className);
    const pageview::PageTuning tuning = pageview::applySwitches(localmap);
    s_btm = tuning.s_btm;
    s_top = tuning.s_top;
    shkthr = tuning.shkthr;

    const std::int64_t now = platform::current().clock().epochSeconds();
    const std::int64_t visitTimeout =
        processState().withConfig([](SharedConfiguration& c) { return c.visitTimeoutSeconds; });
    const std::int64_t pageViewCount = pageview::recordPageView(now, visitTimeout, keys.ls);
    uid = Util::readDefault("uid");
    const std::string companyId = pageview::normalizeCompanyId();
    pageview::resendPushState(localmap, pageViewCount);
    pageview::recordMember(localmap);

    const StringMap system = {
        {"s", companyId},
        {"sscookie", processState().withConfig([](SharedConfiguration& c) { return c.sscookie; })},
        {"ls", keys.ls},
        {"ps", keys.ps},
        {"p", Util::sanitize(keys.pageName)},
        {"a", keys.a}};
    url = Util::createRequest("standart", Util::mergeMaps(localmap, system));
    // Read here rather than after the commit: the first read after this
    // process's own commit asks SQLite whether anyone else wrote.
    group = store->string("qiv_inbox_groupname").value_or("");
    logOn = !store->string("qivtest").value_or("").empty();
  });
  // The step callback is host code: it runs after the commit, never while
  // the store is locked.
  recordStep("execute parameters set");
  pageview::copyVisitorToAppGroup(group, uid, localmap);

  task.setBannerInsets(s_btm, s_top);
  task.setShkThr(shkthr);
  baseLink = url;
  if (logOn) QivUtil::addLog("pageview request : " + url);

  if (pageviewWorkItem) pageviewWorkItem->cancel();
  recordStep("execute workitem created");
  const std::int64_t execcounter = processState().execcounter();
  pageviewWorkItem = std::make_shared<platform::WorkItem>(
      [handle = task.handle(),
       page = engine::PageView{std::move(url), ViewHandle(view), localmap, execcounter}]() mutable {
        engine::guarded("executeParameters",
                        [&] { engine::executeParameters(handle, std::move(page)); });
      });
  platform::current().dispatch().mainAsync(pageviewWorkItem);
} catch (const std::exception& e) {
  QivUtil::addLog(std::string("execute failed : ") + e.what());
}

void Tavrino::virtual_execute(const ViewControllerPtr&, const StringMap&) {}

void Tavrino::onChangeState() {}

}  // namespace tavrino
