// Page-view answers through the answer handling and the dispatch of their
// campaigns, over a view tree with a banner on screen.
//
// Invariants: every cookie instruction for a campaign cookie lands, the last
// one for a name winning, as its value, a blank and an expiry (a whole number
// when the lifetime was a number), and none touches the SDK's own keys; the
// inbox the campaigns file into never holds more
// than its history size.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "campaign/answer/engine_state.hpp"
#include "core/reserved_keys.hpp"
#include "core/shared_configuration.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/ui/window.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

using namespace tavrino;

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "answer invariant broken: %s\n", what.c_str());
  std::abort();
}

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
    const Value& params = *found;
    const std::string name = Util::tryCatch(params, "n", "");
    if (name.empty()) continue;
    const std::string prefix = Util::tryCatch(params, "dup", "") == "true" ? "qiv_" : "";
    if (isReservedKey(prefix + name)) continue;
    cookies[prefix + name] = {Util::tryCatch(params, "v", ""),
                              parseNumber(Util::tryCatch(params, "t", "0"), nullptr)};
  }
  return cookies;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  static const bool prepared = [] {
    // Reports must not leave the machine: a base that forms no URL sends
    // nothing.
    Util::setCookieToQIVDefaults("_cburl", "not a url");
    Util::setCookieToQIVDefaults("_enable_inbox", "1");
    return true;
  }();
  (void)prepared;

  auto screen = std::make_shared<ui::ViewController>("FuzzScreen");
  auto window = ui::Window::make(ui::Rect::make(0, 0, 375, 812));
  window->setRootViewController(screen);
  auto banner = ui::View::make(ui::Rect::make(0, 700, 375, 112));
  banner->setAccessibilityIdentifier("qiv_banner");
  window->addSubview(banner);
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  application.setKeyWindow(window);

  AsyncTask task;
  const engine::PageView page{"http://127.0.0.1:9/d?p=fuzz",
                              ViewHandle(screen),
                              {{"p", "fuzz"}},
                              processState().execcounter()};
  const Data body(data, data + size);
  const auto cookies = expectedCookies(Util::parseJSONArray(body));
  engine::handleAnswer(task.handle(), body, page);
  if (Util::readDefault("_cburl") != "not a url") fail("the base URL was overwritten");
  for (const auto& [name, cookie] : cookies) {
    const auto stored = Util::qivDefaults()->string(name);
    if (!stored || !stored->starts_with(cookie.value + " ")) fail("cookie " + name + " lost");
    std::int64_t expiry = 0;
    if (cookie.numericLifetime &&
        !parseInteger(std::string_view(*stored).substr(cookie.value.size() + 1), &expiry)) {
      fail("cookie " + name + " has no whole expiry: " + *stored);
    }
  }
  platform::current().dispatch().runUntilIdle();
  QivInbox inbox;
  if (inbox.getMessageCount() > inbox.getAppInboxHistorySize()) fail("inbox over its size");
  for (const auto& [name, cookie] : cookies) Util::removeCookieFromQIVDefaults(name);

  application.setKeyWindow(nullptr);
  return 0;
}
