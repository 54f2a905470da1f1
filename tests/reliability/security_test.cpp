// Input that names files, forms URLs, fills the banner page, arrives in deep
// links or names host code must stay where it belongs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "banner/click_test.hpp"
#include "push/extension_image.hpp"
#include "support/service_test.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/push/attachment.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {
namespace {

namespace fs = std::filesystem;

// Whether a name under root, two levels deep at most, holds text.
bool anyNamed(const fs::path& root, const std::string& text) {
  std::error_code error;
  for (fs::recursive_directory_iterator
           it(root, fs::directory_options::skip_permission_denied, error),
       end;
       !error && it != end; it.increment(error)) {
    if (it->path().filename().string().find(text) != std::string::npos) return true;
    if (it.depth() >= 2) it.disable_recursion_pending();
  }
  return false;
}

bool holdsRawControl(std::string_view url) {
  return std::any_of(url.begin(), url.end(), [](unsigned char c) { return c <= ' ' || c == 0x7f; });
}

class SecurityTest : public ServiceTest {};

TEST_F(SecurityTest, SuiteAndAttachmentNamesFromInputNeverLeaveTheirDirectory) {
  const std::string m = "escape_" + std::to_string(::getpid());  // no one else's name
  std::vector<std::string> hostile = {"..", ".", "", std::string("x\0y", 3),
                                      std::string("ok\0/../", 7) + m};
  for (const char* prefix : {"../", "../../", "/tmp/", "sub/../../", ".", "..\\", "a/"}) {
    hostile.push_back(prefix + m);
  }
  auto& defaults = platform::current().userDefaults();
  for (const auto& name : hostile) {
    auto suite = defaults.suite(name);
    ASSERT_TRUE(suite) << name;
    suite->set("k", Value("v"));
    EXPECT_FALSE(suite->isPersistent()) << name;
    EXPECT_EQ(suite->object("k"), Value("v")) << "still works, in memory: " << name;
    // Attachments are plain files; only what is no plain file name is refused.
    if (name.find_first_of(std::string_view("/\0", 2)) != std::string::npos ||
        name.find_first_not_of('.') == std::string::npos) {
      EXPECT_FALSE(saveImageToDisk(name, Data{0xff, 0xd8, 0xff})) << name;
    }
  }
  EXPECT_FALSE(anyNamed(dataDirectory().parent_path(), m));
  EXPECT_FALSE(anyNamed(attachmentDirectory().parent_path(), m));
}

TEST_F(SecurityTest, DataDirectoryFromTheEnvironmentMustBeAbsolute) {
  const auto keep = [](const char* name) -> std::optional<std::string> {
    const char* value = std::getenv(name);
    return value ? std::optional<std::string>(value) : std::nullopt;
  };
  const auto savedData = keep("TAVRINO_DATA_DIR"), savedXdg = keep("XDG_DATA_HOME");
  ::unsetenv("TAVRINO_DATA_DIR");

  // A relative XDG_DATA_HOME is invalid and ignored; the next place counts.
  ::setenv("XDG_DATA_HOME", "../../relative", 1);
  const fs::path resolved = platform::resolveDataDirectory({});
  EXPECT_TRUE(resolved.is_absolute()) << resolved;
  ::setenv("XDG_DATA_HOME", "/abs/data", 1);
  EXPECT_EQ(platform::resolveDataDirectory({}), fs::path("/abs/data/tavrino"));
  ::setenv("TAVRINO_DATA_DIR", "../elsewhere", 1);
  EXPECT_EQ(platform::resolveDataDirectory({}), fs::path("/abs/data/tavrino"));

  for (const auto& [name, value] :
       {std::pair{"TAVRINO_DATA_DIR", savedData}, std::pair{"XDG_DATA_HOME", savedXdg}}) {
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
}

TEST_F(SecurityTest, UrlsSentNeverCarryRawControlCharacters) {
  const std::string nasty = std::string("a\r\nX-Injected: 1\0b c\t", 22);
  Util::setCookieToQIVDefaults("qivparam", nasty);
  Util::setCookieToQIVDefaults("qivtest", "1\r\n");
  for (const char* type : {"standart", "track", "push", "message", "inboxlist", "settings"}) {
    const std::string url = Util::createRequest(type, {{nasty, nasty}, {"p", nasty}});
    EXPECT_FALSE(holdsRawControl(url)) << type << ": " << url;
  }
  EXPECT_FALSE(holdsRawControl(Util::createURLSuffix({{nasty, nasty}})));
  EXPECT_FALSE(holdsRawControl(Util::encodeForUrl(nasty, nasty)));
}

// The document tests cover the plain cases; HTML ends a script whatever the
// case of its tag, and values sit deep in the map or serve as keys.
TEST_F(SecurityTest, BannerValuesCannotEndTheBannerScript) {
  for (const std::string text :
       {"</SCRIPT ><img src=x onerror=alert(2)>", "</scr\\u0069pt>", "</", "\u2028\u2029<!--"}) {
    const Value params = {{"nested", {{"deep", Value::array({text})}}}, {text, "as a key"}};
    std::string page = banner::createHTMLContent(params);
    std::transform(page.begin(), page.end(), page.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    const auto start = page.find("<script>var banner_params=");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(page.find("</script", start),
              page.size() - std::string_view("</script></body></html>").size())
        << text;
    EXPECT_EQ(page.find("<!--", start), std::string::npos) << text;
  }
}

// Host methods are reached only through what the host registered.
class HostRecorder : public runtime::Object {
 public:
  std::string className() const override { return "Recorder"; }
  void allowed(const Value&) { ++calls; }
  static inline int calls = 0;
};

TEST_F(SecurityTest, OnlyRegisteredHostMethodsCanBeCalled) {
  auto& registry = runtime::Registry::shared();
  registry.resetForTesting();
  HostRecorder::calls = 0;
  auto run = [](const Value& entries) {
    QivUtil::run_functions("A", Value{{"id", "7"}, {"run", {{"functions", entries}}}}, nullptr);
  };
  // Nothing registered yet: the class cannot be made or called.
  run(Value::array({{{"type", "A"}, {"name", "allowed"}, {"class", "Recorder"}}}));
  EXPECT_EQ(HostRecorder::calls, 0);

  registry.registerClass("Recorder", [] { return std::make_shared<HostRecorder>(); });
  registry.registerMethod("Recorder", "allowed", &HostRecorder::allowed);
  run(Value::array(
      {{{"type", "A"}, {"name", "allowed"}, {"class", "Recorder"}},
       {{"type", "A"}, {"name", "dealloc"}, {"class", "Recorder"}},
       {{"type", "A"}, {"name", "allowed:allowed"}, {"class", "Recorder"}},
       {{"type", "A"}, {"name", "allowed"}, {"class", "../Recorder"}},
       {{"type", "A"}, {"name", "system"}, {"class", "qiv"}},
       {{"type", "A"}, {"name", "allowed"}, {"class", std::string("Recorder\0x", 10)}}}));
  EXPECT_EQ(HostRecorder::calls, 1);

  HostRecorder direct;
  EXPECT_FALSE(registry.respondsToSelector(direct, "dealloc:"));
  registry.resetForTesting();
  EXPECT_FALSE(registry.perform(direct, "allowed:", Value("x")));
}

class InAppBrowserSecurityTest : public ClickTest {};

TEST_F(InAppBrowserSecurityTest, LoadsOnlyHttpAndHttps) {
  for (const std::string target :
       {"httpx://shop.example/x", "http-evil://shop.example/", "httpfile:///etc/passwd",
        "HTTPS-x://shop.example/", "https://shop.example/x", "http://shop.example/y"}) {
    auto banner = popUp({{"zbid", "5"}, {"uapp", target}});
    ASSERT_TRUE(tapOk(banner)) << target;
    const bool web = target.starts_with("http://") || target.starts_with("https://");
    ASSERT_TRUE(banner->inAppBrowser || !web) << target;
    if (!banner->inAppBrowser) continue;
    const auto content = contentOf(*banner->inAppBrowser);
    if (web)
      EXPECT_EQ(content.request.url, target);
    else
      EXPECT_EQ(content.kind, platform::WebContent::Kind::none) << target;
  }
}

}  // namespace
}  // namespace tavrino::testing
