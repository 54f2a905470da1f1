// The system parameter map: device, application and visitor data sent with
// every standard request.

#include <cmath>
#include <mutex>
#include <random>
#include <string>

#include "core/shared_configuration.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::Util {
namespace {

constexpr const char* kSdkVersion = "3.0.76";

// Whole pixels, truncated; a size the platform cannot express gives 0.
std::string wholePixels(double value) {
  if (!std::isfinite(value) || value < 0 || value > 1e9) return "0";
  return std::to_string(static_cast<long long>(value));
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
  auto suite = qivDefaults();
  std::string bucket = suite->string("qivrandom").value_or("");
  if (!bucket.empty()) return bucket;
  suite->transaction([&] {
    bucket = suite->string("qivrandom").value_or("");
    if (bucket.empty()) {
      bucket = std::to_string(uniformBucket());
      suite->set("qivrandom", bucket);
    }
  });
  return bucket;
}

void addWhenNotEmpty(StringMap& map, const std::string& key, const std::string& value) {
  if (!value.empty()) map[key] = value;
}

}  // namespace

std::string isTablet() {
  switch (platform::current().systemInfo().interfaceIdiom()) {
    case platform::InterfaceIdiom::pad:
      return "TabletApp";
    case platform::InterfaceIdiom::phone:
      return "MobileApp";
    case platform::InterfaceIdiom::other:
      break;
  }
  return "";
}

bool isPushEnabled() {
  auto& application = platform::current().application();
  const bool enabled = application.isRegisteredForRemoteNotifications() &&
                       application.notificationSettings().allowsAnyPresentation();
  recordStep(enabled ? "is push enabled true" : "is push enabled false");
  return enabled;
}

StringMap createLocalVariable() {
  auto& info = platform::current().systemInfo();
  StringMap map;
  map["return"] = "json";
  const auto screen = info.screenNativeBounds();
  const std::string size = wholePixels(screen.width) + "x" + wholePixels(screen.height);
  map["bwh"] = size;
  map["swh"] = size;
  map["dwh"] = size;
  map["os"] = "iOS";
  const std::string version = info.systemVersion();
  map["osv"] = version;
  map["brv"] = version;
  const std::string plt = isTablet();
  map["plt"] = plt;
  map["bl"] = info.languageCode().value_or("");
  map["br"] = "iOS" + plt;
  map["appver"] = info.bundleInfo("CFBundleShortVersionString").value_or("");
  map["qivover"] = kSdkVersion;
  map["sunq"] = "1";
  map["qivpnst"] = isPushEnabled() ? "1" : "2";
  map["dvcmdl"] = getDeviceModel();
  map["qivrandom"] = randomBucket();
  for (const char* key : {"vc", "pvc", "ftu"}) addWhenNotEmpty(map, key, readDefault(key));

  // Test and force modes apply only to the company that switched them on.
  const std::string companyId =
      processState().withConfig([](SharedConfiguration& c) { return c.companyId; });
  if (readDefault("companyid") == companyId) {
    const std::string test = readDefault("qivtest");
    if (!test.empty()) {
      map["qivtest"] = test;
      addWhenNotEmpty(map, "cuid", readDefault("memberid"));
    }
    addWhenNotEmpty(map, "qivforce", readDefault("qivforce"));
  }
  return map;
}

}  // namespace tavrino::Util
