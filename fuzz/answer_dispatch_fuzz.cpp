// Page-view answers through the answer handling and the dispatch of their
// campaigns, over a view tree with a banner on screen.
//
// Invariants: every cookie instruction for a campaign cookie lands, the last
// one for a name winning, as its value, a blank and an expiry (a whole number
// when the lifetime was a number), and none touches the SDK's own keys; the
// inbox the campaigns file into never holds more than its history size.

#include "campaign/answer/engine_state.hpp"
#include "core/reserved_keys.hpp"
#include "core/shared_configuration.hpp"
#include "fuzz_support.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/ui/window.hpp"

using namespace tavrino;

namespace {

struct Cookie {
  std::string value;
  bool numericLifetime = false;
};

// What the cookie instructions of an answer leave, by stored name.
std::map<std::string, Cookie> expectedCookies(const Value& answer) {
  std::map<std::string, Cookie> cookies;
  for (const Value& element : answer) {
    if (!element.is_object()) continue;
    const auto function = element.find("function");
    const auto found = element.find("params");
    if (function == element.end() || found == element.end() || !found->is_object()) continue;
    if (*function != "_sc" && *function != "_sl") continue;
    const std::string name = Util::tryCatch(*found, "n", "");
    const std::string key = (Util::tryCatch(*found, "dup", "") == "true" ? "qiv_" : "") + name;
    if (name.empty() || isReservedKey(key)) continue;
    cookies[key] = {Util::tryCatch(*found, "v", ""),
                    parseNumber(Util::tryCatch(*found, "t", "0"), nullptr)};
  }
  return cookies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Reports must not leave the machine: a base that forms no URL sends nothing.
  fuzz::install({{"_cburl", "not a url"}, {"_enable_inbox", "1"}});
  auto screen = std::make_shared<ui::ViewController>("FuzzScreen");
  auto window = ui::Window::make(ui::Rect::make(0, 0, 375, 812));
  window->setRootViewController(screen);
  auto banner = ui::View::make(ui::Rect::make(0, 700, 375, 112));
  banner->setAccessibilityIdentifier("qiv_banner");
  window->addSubview(banner);
  fuzz::application().setKeyWindow(window);

  AsyncTask task;
  const engine::PageView page{"http://127.0.0.1:9/d?p=fuzz",
                              ViewHandle(screen),
                              {{"p", "fuzz"}},
                              processState().execcounter()};
  const Data body(data, data + size);
  const auto cookies = expectedCookies(Util::parseJSONArray(body));
  engine::handleAnswer(task.handle(), body, page);
  fuzz::require(Util::readDefault("_cburl") == "not a url", "the base URL was overwritten");
  for (const auto& [name, cookie] : cookies) {
    const auto stored = Util::qivDefaults()->string(name);
    if (!stored || !stored->starts_with(cookie.value + " ")) fuzz::fail("cookie " + name + " lost");
    std::int64_t expiry = 0;
    if (cookie.numericLifetime &&
        !parseInteger(std::string_view(*stored).substr(cookie.value.size() + 1), &expiry)) {
      fuzz::fail("cookie " + name + " has no whole expiry: " + *stored);
    }
  }
  platform::current().dispatch().runUntilIdle();
  QivInbox inbox;
  fuzz::require(inbox.getMessageCount() <= inbox.getAppInboxHistorySize(), "inbox over its size");
  for (const auto& [name, cookie] : cookies) Util::removeCookieFromQIVDefaults(name);
  fuzz::application().setKeyWindow(nullptr);
  return 0;
}
