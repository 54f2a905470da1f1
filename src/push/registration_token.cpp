// The device token and the opt-out and opt-in of push.

#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino {
namespace {

std::string lowerHex(const Data& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (const std::uint8_t byte : bytes) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0f];
  }
  return text;
}

// Tells the service of the device's push subscription ("qivunregpush" "1"
// opts out, "2" back in).
void sendPushSubscription(std::string_view unregister) {
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    suite->set("_enable_push", "1");
    suite->set("_disable_push", "0");
    suite->set("qivunregpush", std::string(unregister));
  });
  Util::getRequest("token",
                   Util::createRequest("push", {{"qivunregpush", std::string(unregister)}}));
}

}  // namespace

void Tavrino::registerWithDeviceToken(const Data& deviceToken) {
  if (deviceToken.empty()) {
    // Reporting it would spend the one report on a subscription the service
    // cannot reach.
    QivUtil::addLog("registerWithDeviceToken called with an empty token, ignored");
    return;
  }
  const std::string token = lowerHex(deviceToken);
  platform::current().log().console("token : " + token);
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    suite->set("_enable_push", "1");
    suite->set("qiv_token", token);
    if (suite->string("_token_state").value_or("").empty()) suite->set("_token_state", "false");
  });
  recordStep("push token method triggered");

  const std::string provisional = Util::readDefault("appqiv_provisional");
  if (!Util::isPushEnabled() && (provisional.empty() || provisional == "0")) return;
  // Read and claimed in one transaction: of two tokens arriving together
  // only one is reported.
  bool claimed = false;
  const bool committed = suite->transaction([&] {
    if (suite->string("_token_state").value_or("") != "false") return;
    suite->set("_token_state", "true");
    claimed = true;
  });
  if (!claimed || !committed) return;
  const std::string url = Util::createRequest("push", {{"_r", "123"}});
  recordStep("push token request triggered");
  Util::getRequest("token", url);
}

void Tavrino::disable_push() {
  sendPushSubscription("1");
}

void Tavrino::enable_push() {
  sendPushSubscription("2");
}

std::string Tavrino::getPushToken() {
  return Util::readDefault("qiv_token");
}

}  // namespace tavrino
