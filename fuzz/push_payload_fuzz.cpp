// Notification payloads through the receipt in every application state, the
// delegate's tap handling and the service extension. Invariants: nothing
// is written outside the extension's attachment directory and the data
// directory, the attachment directory holds only image files, and the store
// and the app-group suite hold only the keys these paths write.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "core/shared_configuration.hpp"
#include "fuzz_platform.hpp"
#include "tavrino/client.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/push/attachment.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/push.hpp"
#include "tavrino/util/store.hpp"

using namespace tavrino;
namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "push payload invariant broken: %s\n", what.c_str());
  std::abort();
}

constexpr std::string_view kGroup = "fuzzgroup";

// Checks addresses with the real parser; every address that forms one
// "downloads" a few bytes without leaving the machine.
class OfflineSession final : public fuzz::OfflineSession {
 public:
  using fuzz::OfflineSession::OfflineSession;
  std::optional<Data> contentsOf(std::string_view url, std::chrono::milliseconds) override {
    if (!real_.formsURL(url)) return std::nullopt;
    return Data{0xff, 0xd8, 0xff, 0xd9};
  }
};

fs::path temporaryRoot;

void prepare() {
  std::string dir = (fs::temp_directory_path() / "tavrino-push-fuzz-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) std::abort();
  temporaryRoot = dir;
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(temporaryRoot, ignored);
  });
  // Before any thread exists: the attachment directory lands in temporaryRoot.
  setenv("TMPDIR", dir.c_str(), 1);
  fs::create_directory(temporaryRoot / "data");
  platform::install(std::make_unique<fuzz::OfflinePlatform<OfflineSession>>(
      platform::makeLinuxPlatform({.dataDirectory = temporaryRoot / "data", .clock = nullptr})));
  // A base that forms no URL: reports are built and stored but never sent.
  Util::setCookieToQIVDefaults("_cburl", "not a url");
  Util::setCookieToQIVDefaults("_enable_inbox", "1");
  Util::setCookieToQIVDefaults("qiv_inbox_groupname", std::string(kGroup));
}

bool isKnownKey(const std::string& key) {
  static const char* const exact[] = {
      "_cburl",           "_s",           "_enable_inbox", "qiv_inbox_groupname",
      "_push_click_link", "qivparam",     "utm_source",    "utm_medium",
      "utm_term",         "utm_campaign", "utm_content",   "_ntf_categories",
      "qivrandom",        "_link"};
  for (const char* known : exact) {
    if (key == known) return true;
  }
  for (const char* prefix : {"qiv_c_", "qiv_lzbid", "qiv_inbox_"}) {
    if (key.starts_with(prefix)) return true;
  }
  return false;
}

void checkSuite(std::string_view name) {
  auto suite = platform::current().userDefaults().suite(name);
  for (const auto& [key, value] : suite->dictionaryRepresentation()) {
    if (!isKnownKey(key)) fail("store key " + key);
  }
  // Keeps the suites small across runs; the fixed entries stay.
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) {
      if (key.starts_with("qiv_c_") || key.starts_with("qiv_lzbid") ||
          key.starts_with("qiv_inbox_")) {
        suite->remove(key);
      }
    }
  });
}

void checkFiles() {
  const fs::path attachments = attachmentDirectory();
  if (attachments.parent_path() != temporaryRoot) fail("attachments in " + attachments.string());
  for (const auto& entry : fs::directory_iterator(temporaryRoot)) {
    if (entry.path() != attachments && entry.path() != temporaryRoot / "data") {
      fail("file " + entry.path().string());
    }
  }
  if (!fs::exists(attachments)) return;
  for (const auto& entry : fs::recursive_directory_iterator(attachments)) {
    const std::string name = entry.path().filename().string();
    if (!entry.is_regular_file() || entry.path().parent_path() != attachments ||
        !name.starts_with("qiv_img_") || !name.ends_with(".jpg")) {
      fail("attachment " + entry.path().string());
    }
  }
  fs::remove_all(attachments);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool prepared = (prepare(), true);
  (void)prepared;
  const Value payload = Util::parseJSONObject(Data(data, data + size));
  auto& application = dynamic_cast<platform::LinuxApplication&>(platform::current().application());
  auto& system = dynamic_cast<platform::LinuxSystemInfo&>(platform::current().systemInfo());
  Tavrino client("not a url", "1", "0");

  // Receipt in each state, on a current and on a legacy system.
  system.setSystemVersion(size % 2 == 0 ? "17.0" : "9.0");
  for (auto state : {platform::ApplicationState::active, platform::ApplicationState::inactive,
                     platform::ApplicationState::background}) {
    application.setApplicationState(state);
    client.didReceiveNotification(&application, payload);
  }
  system.setSystemVersion("17.0");

  // Taps on the notification, on a button it lists and a dismissal.
  platform::NotificationResponse response;
  response.notification.request.content.userInfo = payload;
  const Value* buttons = payload.is_object() && payload.contains("actionButtons")
                             ? &payload.at("actionButtons")
                             : nullptr;
  for (std::string action : {std::string(platform::defaultActionIdentifier),
                             std::string(platform::dismissActionIdentifier), std::string("b1")}) {
    if (buttons != nullptr && buttons->is_array() && !buttons->empty() && action == "b1") {
      action = Util::tryCatch(buttons->front(), "id", "0");
    }
    response.actionIdentifier = action;
    QivNotificationDelegate::shared()->didReceive(platform::current().userNotificationCenter(),
                                                  response, [] {});
  }
  client.setPayloadLink("data|l");
  Util::pushClicked(payload, "organic");
  client.setPayloadLink("");

  // The extension, with and without an app group.
  platform::NotificationRequest request;
  request.content.userInfo = payload;
  platform::MutableNotificationContent content;
  client.didReceiveNotificationExtension(content, request, "m", kGroup);
  client.didReceiveNotificationExtension(content, request, "d|i");
  for (const auto& attachment : content.attachments) {
    if (fs::path(attachment.url).parent_path() != attachmentDirectory()) fail(attachment.url);
  }

  platform::current().dispatch().runUntilIdle();
  checkSuite(Util::kDefaultsSuiteName);
  checkSuite(kGroup);
  checkFiles();
  return 0;
}
