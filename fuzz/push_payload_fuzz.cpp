// Notification payloads through the receipt in every application state, the
// delegate's tap handling and the service extension. Invariants: nothing
// is written outside the extension's attachment directory and the data
// directory, the attachment directory holds only image files, and the store
// and the app-group suite hold only the keys these paths write.

#include <set>

#include "core/shared_configuration.hpp"
#include "fuzz_support.hpp"
#include "tavrino/client.hpp"
#include "tavrino/push/attachment.hpp"
#include "tavrino/push/notification_delegate.hpp"
#include "tavrino/util/push.hpp"

using namespace tavrino;
namespace fs = std::filesystem;

namespace {

constexpr const char* kGroup = "fuzzgroup";

// Checks addresses with the real parser; every address that forms one
// "downloads" a few bytes without leaving the machine.
class ImageSession final : public fuzz::OfflineSession {
 public:
  using fuzz::OfflineSession::OfflineSession;
  std::optional<Data> contentsOf(std::string_view url, std::chrono::milliseconds) override {
    if (!real_.formsURL(url)) return std::nullopt;
    return Data{0xff, 0xd8, 0xff, 0xd9};
  }
};

// Holds the attachment directory and the data directory, nothing else; made
// before any thread exists, so that the attachment directory lands in it.
const fs::path& temporaryRoot = *[] {
  auto* root = new fs::path(fuzz::temporaryDirectory());
  setenv("TMPDIR", root->c_str(), 1);
  std::atexit([] {
    std::error_code ignored;
    fs::remove_all(temporaryRoot, ignored);
  });
  return root;
}();

// Keys each run writes; they are swept after it.
bool isRunKey(const std::string& key) {
  return key.starts_with("qiv_c_") || key.starts_with("qiv_lzbid") || key.starts_with("qiv_inbox_");
}

void checkSuite(std::string_view name) {
  static const std::set<std::string, std::less<>> fixed = {
      "_cburl",           "_s",           "_enable_inbox", "qiv_inbox_groupname",
      "_push_click_link", "qivparam",     "utm_source",    "utm_medium",
      "utm_term",         "utm_campaign", "utm_content",   "_ntf_categories",
      "qivrandom",        "_link"};
  auto suite = platform::current().userDefaults().suite(name);
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) {
      fuzz::require(fixed.contains(key) || isRunKey(key), "store key " + key);
      if (isRunKey(key)) suite->remove(key);
    }
  });
}

// Only the data directory and image files in the attachment directory.
void checkFiles() {
  const fs::path attachments = attachmentDirectory();
  fuzz::require(attachments.parent_path() == temporaryRoot,
                "attachments in " + attachments.string());
  for (auto it = fs::recursive_directory_iterator(temporaryRoot); it != fs::end(it); ++it) {
    const std::string name = it->path().filename().string();
    if (it.depth() == 0 && name.starts_with("tavrino-fuzz-")) {
      it.disable_recursion_pending();
      continue;
    }
    fuzz::require(it->path() == attachments ||
                      (it->is_regular_file() && it->path().parent_path() == attachments &&
                       name.starts_with("qiv_img_") && name.ends_with(".jpg")),
                  "file " + it->path().string());
  }
  fs::remove_all(attachments);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A base that forms no URL: reports are built and stored but never sent.
  fuzz::install<ImageSession>(
      {{"_cburl", "not a url"}, {"_enable_inbox", "1"}, {"qiv_inbox_groupname", kGroup}});
  const Value payload = fuzz::jsonObject(data, size);
  auto& application = fuzz::application();
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
  const Value buttons = payload.value("actionButtons", Value());
  const std::string button =
      buttons.is_array() && !buttons.empty() ? Util::tryCatch(buttons.front(), "id", "0") : "b1";
  for (const std::string_view action :
       {platform::defaultActionIdentifier, platform::dismissActionIdentifier,
        std::string_view(button)}) {
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
    fuzz::require(fs::path(attachment.url).parent_path() == attachmentDirectory(), attachment.url);
  }

  platform::current().dispatch().runUntilIdle();
  checkSuite(Util::kDefaultsSuiteName);
  checkSuite(kGroup);
  checkFiles();
  return 0;
}
