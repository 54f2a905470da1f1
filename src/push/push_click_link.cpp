#include "push/push_click_link.hpp"

#include <exception>

#include "core/shared_configuration.hpp"
#include "push/payload_fields.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::push {
namespace {

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Characters no URL carries unencoded.
bool isRefusedInUrl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte <= 0x20 || byte >= 0x7f) return true;
  return std::string_view("\"<>\\^`{|}").find(c) != std::string_view::npos;
}

std::string payloadLink(const Value& payload, std::string_view linkKey) {
  if (linkKey.find('|') != std::string_view::npos) {
    return Util::findValueRecursive(payload, linkKey);
  }
  return textEntry(payload, linkKey).value_or("");
}

}  // namespace

bool isOpenableUrl(std::string_view text) {
  const auto colon = text.find(':');
  if (colon == 0 || colon == std::string_view::npos || colon + 1 == text.size()) return false;
  if (!isAsciiLetter(text[0])) return false;
  for (char c : text.substr(0, colon)) {
    if (!isAsciiLetter(c) && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != '.') {
      return false;
    }
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (isRefusedInUrl(text[i])) return false;
    if (text[i] == '%' &&
        (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2]))) {
      return false;
    }
  }
  return true;
}

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
  if (!isOpenableUrl(link)) {
    QivUtil::addLog("push click link is not a URL : " + link);
    return;
  }
  platform::current().application().openURL(link);
}

}  // namespace tavrino::push
