// The once-a-day fetch of the company settings.

#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/async_task.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/settings.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

constexpr std::int64_t kSettingsLifetimeSeconds = 86400;

void storeSettings(const Data& data) {
  const Value answer = parseJSONObject(data);
  const auto settings = answer.find("settings");
  if (settings == answer.end() || !settings->is_object()) return;  // fetched again next time
  auto suite = qivDefaults();
  const std::int64_t expiry = platform::current().clock().epochSeconds() + kSettingsLifetimeSeconds;
  suite->transaction([&] {
    suite->set("iosproappr", tryCatch(*settings, "iosproappr", "0"));
    suite->set("_company_settings", "1 " + std::to_string(expiry));
  });
  // Resumes a registration that waited for the settings.
  platform::current().dispatch().mainAsync([] {
    const auto [baseUrl, companyId] = processState().withConfig(
        [](SharedConfiguration& c) { return std::pair(c.baseUrl, c.companyId); });
    Tavrino client(baseUrl, companyId, "0", "1");
    client.register_();
  });
}

}  // namespace

void getCompanySettings() {
  const std::string url = createRequest("settings", {});
  platform::current().dispatch().globalAsync(platform::QualityOfService::utility, [url] {
    AsyncTask::getDataFromUrl(url, [](std::optional<Data> data, auto, auto) {
      if (!data) return;
      // Storing may wait for another process's lock: never on the session
      // thread, whose wait would hold up every other transfer's completion.
      platform::current().dispatch().globalAsync(
          platform::QualityOfService::utility, [data = std::move(*data)] { storeSettings(data); });
    });
  });
}

}  // namespace tavrino::Util
