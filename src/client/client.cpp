// Construction of the client and its configuration setters.

#include <string>

#include "core/shared_configuration.hpp"
#include "push/registration_steps.hpp"
#include "tavrino/banner/image_cache.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/util/settings.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

// A company id such as "abc-1234-x" that is not a number carries the id in
// its second "-"-piece.
std::string normalizedCompanyId(std::string_view companyId) {
  if (parseNumber(companyId, nullptr) || companyId.find('-') == std::string_view::npos) {
    return std::string(companyId);
  }
  std::vector<std::string_view> pieces;
  std::string_view rest = companyId;
  while (true) {
    const auto dash = rest.find('-');
    pieces.push_back(rest.substr(0, dash));
    if (dash == std::string_view::npos) break;
    rest.remove_prefix(dash + 1);
  }
  return pieces.size() > 1 ? std::string(pieces[1]) : std::string(companyId);
}

}  // namespace

Tavrino::Tavrino(std::string_view baseUrl, std::string_view companyId, std::string_view sscookie,
                 std::string_view enableCompanySettings) {
  const std::string id = normalizedCompanyId(companyId);
  auto& state = processState();
  state.withConfig([&](SharedConfiguration& c) {
    c.baseUrl = std::string(baseUrl);
    c.companyId = id;
  });
  state.appendStep("Create Instance", /*notify=*/false);
  state.withConfig([&](SharedConfiguration& c) { c.sscookie = std::string(sscookie); });

  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    suite->set("_cburl", std::string(baseUrl));
    suite->set("_s", id);
  });
  if (Util::readDefault("_enable_push") == "1") push::installNotificationDelegate();

  _enable_company_settings = std::string(enableCompanySettings);
  if (_enable_company_settings != "1") return;
  const std::string fetched = Util::getCookieToQIVDefaults("_company_settings", "0");
  if (fetched.empty() || fetched == "0") {
    Util::setCookieToQIVDefaults("_enable_settings", "1");
    platform::current().dispatch().mainAsync([] { Util::getCompanySettings(); });
  }
}

Tavrino::Tavrino(std::string_view baseUrl, std::string_view companyId, std::string_view sscookie)
    : Tavrino((processState().appendStep("Create Instance convenience init", false), baseUrl),
              companyId, sscookie, "0") {}

void Tavrino::setApiKey(std::string_view api_key) {
  Util::setCookieToQIVDefaults("qiv_api_key", api_key);
}

void Tavrino::setAllowedFunction(const Value& allowed_functions) {
  processState().withConfig([&](SharedConfiguration& c) {
    c.allowedFunctions = allowed_functions;
    c.allowedFunctionsFromHost = true;
  });
}

void Tavrino::setAllowedDomains(std::vector<std::string> allowed_domains) {
  processState().withConfig(
      [&](SharedConfiguration& c) { c.allowedDomains = std::move(allowed_domains); });
}

void Tavrino::enableAppInbox() {
  Util::setCookieToQIVDefaults("_enable_inbox", "1");
}

void Tavrino::disableAppInbox() {
  Util::setCookieToQIVDefaults("_disable_inbox", "1");
}

void Tavrino::setAppGroupName(std::string_view group_name) {
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", group_name);
  QivUtil::addLog("setAppGroupName called. with groupname : " + std::string(group_name));
}

void Tavrino::setAppInboxHistorySize(std::int64_t limit) {
  Util::setCookieToQIVDefaults("_inbox_history_size", std::to_string(limit));
}

void Tavrino::setDefaultTimeout(std::int64_t default_timeout) {
  Util::setCookieToQIVDefaults("_inbox_default_timeout", std::to_string(default_timeout));
}

void Tavrino::enable_hash(std::string_view hash) {
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    suite->set("_enable_hash", std::string(hash));
    suite->set("_disable_hash", "0");
  });
}

void Tavrino::disable_hash() {
  auto suite = Util::qivDefaults();
  suite->transaction([&] {
    suite->set("_enable_hash", "0");
    suite->set("_disable_hash", "1");
  });
}

std::string Tavrino::getuid() {
  return Util::readDefault("uid");
}

std::vector<std::string> Tavrino::getSteps() const {
  return processState().steps();
}

void Tavrino::setStepCallback(StepCallback callback) {
  processState().setStepCallback(std::move(callback));
}

void Tavrino::pushClickCallback(PushClickCallback callback) {
  processState().setPushClickCallback(std::move(callback));
}

bool Tavrino::application(platform::Application*, std::string_view extensionPointIdentifier) const {
  return extensionPointIdentifier != kKeyboardExtensionPointIdentifier;
}

void resetProcessStateForTesting() {
  processState().reset();
  banner::ImageCache::shared().clear();
}

}  // namespace tavrino
