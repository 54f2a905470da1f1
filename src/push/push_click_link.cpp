#include "push/push_click_link.hpp"

#include <exception>

#include "core/links/link_checks.hpp"
#include "core/shared_configuration.hpp"
#include "push/payload_fields.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::push {
namespace {

std::string payloadLink(const Value& payload, std::string_view linkKey) {
  if (linkKey.find('|') != std::string_view::npos) {
    return Util::findValueRecursive(payload, linkKey);
  }
  return textEntry(payload, linkKey).value_or("");
}

}  // namespace

void callPushClickCallback(const Value& payload) {
  if (Util::readDefault("pushcb") == "0") return;
  recordStep("push click callback func triggered");
  const auto callback = processState().pushClickCallback();
  try {
    if (callback) {
      callback(payload);
    } else {
      Util::fakePCC(payload);
    }
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("push click callback threw : ") + e.what());
  } catch (...) {
    QivUtil::addLog("push click callback threw");
  }
}

void openPayloadLink(const Value& payload, std::string_view linkKey,
                     const std::optional<SelectedButton>& button) {
  std::string link = payloadLink(payload, linkKey);
  if (button && !button->url.empty()) link = button->url;

  const auto nativeClick = Util::qivDefaults()->object("_native_click");
  const bool sdkOpens = !nativeClick || (nativeClick->is_string() && *nativeClick == "0");
  if (!sdkOpens || link.empty()) return;
  recordStep("push click redirection triggered");
  links::openOutside(link, "push click link");
}

}  // namespace tavrino::push
