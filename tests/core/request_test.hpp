#pragma once

// The fixture of the request-building tests: a described device, so that
// every system parameter is known and URLs can be compared whole.

#include "support/sdk_test.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

class RequestTest : public SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    systemInfo().setLanguageCode("de");
    systemInfo().setHardwareIdentifier("iPhone10,3");
  }

  static platform::LinuxSystemInfo& systemInfo() {
    return dynamic_cast<platform::LinuxSystemInfo&>(platform::current().systemInfo());
  }
  static platform::LinuxApplication& application() {
    return dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  }
  static void set(std::string_view key, std::string_view value) {
    Util::setCookieToQIVDefaults(key, value);
  }
  // "key=value" for each of the blank-separated keys of the system pairs; "!key" when absent.
  static std::string system(std::string_view keys) {
    const StringMap pairs = Util::createLocalVariable();
    std::string all;
    for (const auto& key : words(keys)) {
      const auto it = pairs.find(key);
      all += (all.empty() ? "" : " ") + (it == pairs.end() ? "!" + key : key + "=" + it->second);
    }
    return all;
  }
  static bool stored(std::string_view key) { return Util::qivDefaults()->object(key).has_value(); }

  // The query of every standard request of this device without client, store
  // or item pairs, for company "42" and random bucket "7".
  static constexpr const char* kSystemQuery =
      "&appver=1.0&bl=de&br=iOSMobileApp&brv=17.0&bwh=1170x2532&dvcmdl=iPhone%20X"
      "&dwh=1170x2532&os=iOS&osv=17.0&plt=MobileApp&qivover=3.0.76&qivpnst=2"
      "&qivrandom=7&return=json&s=42&sunq=1&swh=1170x2532";
};

}  // namespace tavrino::testing
