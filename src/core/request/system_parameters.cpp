// The system parameter map: device, application and visitor data sent with
// every standard request.

#include <array>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>

#include "core/request/percent_encoding.hpp"
#include "core/request/request_parts.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

constexpr const char* kSdkVersion = "3.0.76";

// Whole pixels, truncated; a size the platform cannot express gives 0.
std::string wholePixels(double value) {
  if (!std::isfinite(value) || value < 0 || value > 1e9) return "0";
  return std::to_string(static_cast<long long>(value));
}

std::string platformName(platform::InterfaceIdiom idiom) {
  switch (idiom) {
    case platform::InterfaceIdiom::pad:
      return "TabletApp";
    case platform::InterfaceIdiom::phone:
      return "MobileApp";
    case platform::InterfaceIdiom::other:
      break;
  }
  return "";
}

int uniformBucket() {
  static std::mutex mu;
  static std::mt19937 engine{std::random_device{}()};
  std::uniform_int_distribution<int> bucket(1, 100);
  std::lock_guard lock(mu);
  return bucket(engine);
}

// The visitor's persistent bucket 1..100, drawn on first use.
std::string randomBucket() {
  auto suite = Util::qivDefaults();
  std::string bucket;
  suite->transaction([&] {
    bucket = suite->string("qivrandom").value_or("");
    if (bucket.empty()) {
      bucket = std::to_string(uniformBucket());
      suite->set("qivrandom", bucket);
    }
  });
  return bucket;
}

// What the platform says about the device, and the pairs of those facts,
// encoded once: they stay as long as the platform reports the same facts (a
// host may change them at any time).
struct DeviceFacts {
  platform::ScreenSize screen;
  std::string version;
  platform::InterfaceIdiom idiom = platform::InterfaceIdiom::phone;
  std::optional<std::string> language;
  std::optional<std::string> appVersion;
  std::string model;

  static DeviceFacts read() {
    auto& info = platform::current().systemInfo();
    return {info.screenNativeBounds(),
            info.systemVersion(),
            info.interfaceIdiom(),
            info.languageCode(),
            info.bundleInfo("CFBundleShortVersionString"),
            Util::getDeviceModel()};
  }
  bool operator==(const DeviceFacts& other) const {
    return screen.width == other.screen.width && screen.height == other.screen.height &&
           version == other.version && idiom == other.idiom && language == other.language &&
           appVersion == other.appVersion && model == other.model;
  }
};

// The device's entries, each with its value and its encoded pair.
struct DeviceEntries {
  static constexpr std::array<std::string_view, 14> kKeys = {
      "appver", "bl",  "br",  "brv",     "bwh",    "dvcmdl", "dwh",
      "os",     "osv", "plt", "qivover", "return", "sunq",   "swh"};

  explicit DeviceEntries(DeviceFacts read) : facts(std::move(read)) {
    const std::string size =
        wholePixels(facts.screen.width) + "x" + wholePixels(facts.screen.height);
    const std::string plt = platformName(facts.idiom);
    values = {facts.appVersion.value_or(""),
              facts.language.value_or(""),
              "iOS" + plt,
              facts.version,
              size,
              facts.model,
              size,
              "iOS",
              facts.version,
              plt,
              kSdkVersion,
              "json",
              "1",
              size};
    for (std::size_t i = 0; i < kKeys.size(); ++i) {
      request::appendQueryPair(encoded[i], kKeys[i], values[i]);
    }
  }

  DeviceFacts facts;
  std::array<std::string, kKeys.size()> values;
  std::array<std::string, kKeys.size()> encoded;
};

std::shared_ptr<const DeviceEntries> deviceEntries() {
  DeviceFacts facts = DeviceFacts::read();
  static std::mutex mu;
  static std::shared_ptr<const DeviceEntries> last;
  std::lock_guard lock(mu);
  if (!last || !(last->facts == facts)) last = std::make_shared<DeviceEntries>(std::move(facts));
  return last;
}

// The system parameters in byte order of their keys; an entry with no key
// is absent. A device entry carries its encoded pair. "s" is there only when
// asked for.
struct SystemEntry {
  std::string_view key;
  std::string_view value;
  std::string_view encoded;
};

struct SystemEntries {
  std::shared_ptr<const DeviceEntries> device;
  std::string pushState;
  std::string bucket;
  std::array<SystemEntry, 23> entries;
};

SystemEntries systemEntries(const request::StoreReading& store, bool withCompany) {
  SystemEntries system;
  system.device = deviceEntries();
  system.pushState = Util::isPushEnabled() ? "1" : "2";
  system.bucket = store.bucket.empty() ? randomBucket() : store.bucket;

  // Test and force modes apply only to the company that switched them on.
  const std::string companyId =
      processState().withConfig([](SharedConfiguration& c) { return c.companyId; });
  const bool ownModes = store.testCompanyId == companyId;
  const bool testMode = ownModes && !store.test.empty();

  const auto& device = *system.device;
  const auto fact = [&](std::size_t i) {
    return SystemEntry{DeviceEntries::kKeys[i], device.values[i], device.encoded[i]};
  };
  const auto when = [](bool present, std::string_view key, std::string_view value) {
    return SystemEntry{present ? key : std::string_view(), value, {}};
  };
  system.entries = {{
      fact(0),  // appver
      fact(1),  // bl
      fact(2),  // br
      fact(3),  // brv
      fact(4),  // bwh
      when(testMode && !store.member.empty(), "cuid", store.member),
      fact(5),  // dvcmdl
      fact(6),  // dwh
      when(!store.firstTimeUser.empty(), "ftu", store.firstTimeUser),
      fact(7),  // os
      fact(8),  // osv
      fact(9),  // plt
      when(!store.pageViewCount.empty(), "pvc", store.pageViewCount),
      when(ownModes && !store.force.empty(), "qivforce", store.force),
      fact(10),  // qivover
      when(true, "qivpnst", system.pushState),
      when(true, "qivrandom", system.bucket),
      when(testMode, "qivtest", store.test),
      fact(11),  // return
      when(withCompany, "s", store.companyId),
      fact(12),  // sunq
      fact(13),  // swh
      when(!store.visitCount.empty(), "vc", store.visitCount),
  }};
  return system;
}

bool travels(std::string_view key) {
  // "_" keys are the SDK's own switches; only the two page ids travel.
  return !key.starts_with('_') || key == "_spid" || key == "_spiid";
}

}  // namespace

namespace request {

void appendParameterPairs(std::string& out, const StringMap& custom, const StoreReading& store) {
  const SystemEntries system = systemEntries(store, true);
  auto client = custom.begin();
  const auto appendClient = [&] {
    if (travels(client->first)) appendQueryPair(out, client->first, client->second);
    ++client;
  };
  for (const auto& entry : system.entries) {
    if (entry.key.empty()) continue;
    while (client != custom.end() && client->first < entry.key) appendClient();
    if (client != custom.end() && client->first == entry.key && entry.key != "s") {
      appendClient();  // the client's entry wins
      continue;
    }
    if (client != custom.end() && client->first == entry.key) ++client;
    if (entry.encoded.empty()) {
      appendQueryPair(out, entry.key, entry.value);
    } else {
      out += entry.encoded;
    }
  }
  while (client != custom.end()) appendClient();
}

}  // namespace request

namespace Util {

std::string isTablet() {
  return platformName(platform::current().systemInfo().interfaceIdiom());
}

bool isPushEnabled() {
  auto& application = platform::current().application();
  const bool enabled = application.isRegisteredForRemoteNotifications() &&
                       application.notificationSettings().allowsAnyPresentation();
  recordStep(enabled ? "is push enabled true" : "is push enabled false");
  return enabled;
}

StringMap createLocalVariable() {
  const request::StoreReading store = request::readStore(*qivDefaults(), false);
  StringMap map;
  const SystemEntries system = systemEntries(store, false);
  for (const auto& entry : system.entries) {
    if (!entry.key.empty()) map.emplace(entry.key, entry.value);
  }
  return map;
}

}  // namespace Util
}  // namespace tavrino
