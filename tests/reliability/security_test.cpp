// Input that names files, forms URLs, fills the banner page, arrives in deep
// links or names host code must stay where it belongs.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "banner/click_test.hpp"
#include "push/extension_image.hpp"
#include "support/service_test.hpp"
#include "tavrino/banner/banner_document.hpp"
#include "tavrino/client.hpp"
#include "tavrino/inbox/qiv_inbox.hpp"
#include "tavrino/platform/linux.hpp"
#include "tavrino/push/attachment.hpp"
#include "tavrino/qiv_util.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"
#include "tavrino/util/transport.hpp"

namespace tavrino::testing {
namespace {

namespace fs = std::filesystem;

// A name no other test or process would put in a directory.
std::string marker() {
  return "escape_" + std::to_string(::getpid());
}

// Every path under root whose name holds text.
std::vector<fs::path> pathsNamed(const fs::path& root, const std::string& text) {
  std::vector<fs::path> found;
  std::error_code error;
  for (fs::recursive_directory_iterator
           it(root, fs::directory_options::skip_permission_denied, error),
       end;
       it != end; it.increment(error)) {
    if (error) break;
    if (it->path().filename().string().find(text) != std::string::npos) {
      found.push_back(it->path());
    }
    if (it.depth() >= 2) it.disable_recursion_pending();
  }
  return found;
}

bool holdsRawControl(std::string_view url) {
  return std::any_of(url.begin(), url.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == ' ';
  });
}

std::string lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

class SecurityTest : public ServiceTest {};

TEST_F(SecurityTest, SuiteNamesFromInputNeverLeaveTheDataDirectory) {
  const std::string m = marker();
  const fs::path outside = dataDirectory().parent_path();
  const std::vector<std::string> hostile = {"../" + m,
                                            "../../" + m,
                                            "/tmp/" + m,
                                            "sub/../../" + m,
                                            "..",
                                            ".",
                                            "." + m,
                                            "..\\" + m,
                                            std::string("ok\0/../", 7) + m,
                                            "",
                                            "a/" + m};
  auto& defaults = platform::current().userDefaults();
  for (const auto& name : hostile) {
    auto suite = defaults.suite(name);
    ASSERT_TRUE(suite) << name;
    suite->set("k", Value("v"));
    EXPECT_FALSE(suite->isPersistent()) << name;
    EXPECT_EQ(suite->object("k"), Value("v")) << "still works, in memory: " << name;
  }
  EXPECT_TRUE(pathsNamed(outside, m).empty());

  // The inbox's suite is named by the host's app group: a hostile group
  // falls back to the private suite inside the data directory.
  Tavrino client(baseUrl, "1234", "0");
  client.setAppGroupName("../" + m);
  QivInbox inbox;
  EXPECT_FALSE(inbox.setMessage(Value{{"zbid", "1"}, {"qivibxcap", "hello"}}));
  EXPECT_TRUE(inbox.hasMessage("1"));
  EXPECT_TRUE(pathsNamed(outside, m).empty());
  EXPECT_TRUE(inbox.initStorageForQivInbox()->isPersistent());
  EXPECT_EQ(inbox.initStorageForQivInbox()->name(), QivInbox::kPrivateStoreName);
}

TEST_F(SecurityTest, AttachmentFilesStayInTheAttachmentDirectory) {
  const std::string m = marker();
  const fs::path directory = attachmentDirectory();
  const Data image{0xff, 0xd8, 0xff};
  for (const std::string& id : {"../" + m, "../../tmp/" + m, std::string(".."), "/tmp/" + m,
                                std::string("."), std::string("x\0y", 3), std::string()}) {
    EXPECT_FALSE(saveImageToDisk(id, image)) << id;
  }
  EXPECT_TRUE(pathsNamed(directory.parent_path(), m).empty());

  // The campaign id a payload carries becomes a plain name.
  for (const std::string& campaign :
       std::vector<std::string>{"../../" + m, "a/b\\c", std::string("x\0/", 3), "..\n"}) {
    const std::string name = push::attachmentFileName(campaign);
    EXPECT_EQ(name.find_first_of(std::string_view("/\\\0\n", 4)), std::string::npos) << name;
    EXPECT_NE(name.substr(0, 2), "..");
    auto saved = saveImageToDisk(name, image);
    ASSERT_TRUE(saved) << name;
    EXPECT_EQ(fs::path(saved->url).parent_path(), directory);
    fs::remove(saved->url);
  }
  EXPECT_TRUE(pathsNamed(directory.parent_path(), m).empty());
}

TEST_F(SecurityTest, DataDirectoryFromTheEnvironmentMustBeAbsolute) {
  const char* savedData = std::getenv("TAVRINO_DATA_DIR");
  const char* savedXdg = std::getenv("XDG_DATA_HOME");
  const std::string keepData = savedData ? savedData : "";
  const std::string keepXdg = savedXdg ? savedXdg : "";
  ::unsetenv("TAVRINO_DATA_DIR");

  // A relative XDG_DATA_HOME is invalid and ignored; the next place counts.
  ::setenv("XDG_DATA_HOME", "../../relative", 1);
  const fs::path resolved = platform::resolveDataDirectory({});
  EXPECT_TRUE(resolved.is_absolute()) << resolved;
  ::setenv("XDG_DATA_HOME", "/abs/data", 1);
  EXPECT_EQ(platform::resolveDataDirectory({}), fs::path("/abs/data/tavrino"));
  ::setenv("TAVRINO_DATA_DIR", "../elsewhere", 1);
  EXPECT_EQ(platform::resolveDataDirectory({}), fs::path("/abs/data/tavrino"));

  if (savedData)
    ::setenv("TAVRINO_DATA_DIR", keepData.c_str(), 1);
  else
    ::unsetenv("TAVRINO_DATA_DIR");
  if (savedXdg)
    ::setenv("XDG_DATA_HOME", keepXdg.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
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

  // A URL that does hold them (a hostile base URL, say) is refused by the
  // session: nothing reaches the wire.
  std::atomic<bool> answered{false};
  std::optional<platform::URLError> failure;
  platform::URLRequest request;
  request.url = baseUrl + "/d?x=1\r\nX-Injected: 1\r\n\r\nGET /smuggled HTTP/1.1";
  platform::current().urlSession().dataTask(
      request, [&](std::optional<Data>, std::optional<platform::URLResponse>,
                   std::optional<platform::URLError> error) {
        failure = error;
        answered = true;
      });
  ASSERT_TRUE(waitUntil([&] { return answered.load(); }));
  EXPECT_TRUE(failure);
  Util::getRequest("test", baseUrl + std::string("/d?x=1\0/smuggled", 16));
  waitUntil([] { return false; }, std::chrono::milliseconds(200));
  for (const auto& seen : service.requests()) {
    EXPECT_EQ(seen.path.find("smuggled"), std::string::npos) << seen.target;
    for (const auto& [name, value] : seen.headers) EXPECT_NE(lower(name), "x-injected");
  }
}

TEST_F(SecurityTest, BannerValuesCannotEndTheBannerScript) {
  const std::vector<std::string> hostile = {"</script><script>alert(1)</script>",
                                            "</SCRIPT ><img src=x onerror=alert(2)>",
                                            "<!--<script>",
                                            "</scr\\u0069pt>",
                                            "</",
                                            "\u2028\u2029"};
  for (const auto& text : hostile) {
    Value params = Value::object();
    params["cap"] = "<b>title</b>";
    params["name"] = text;
    params["nested"] = Value{{"deep", Value::array({text})}};
    params[text] = "as a key";
    const std::string page = lower(banner::createHTMLContent(params));
    // The parameters' script ends where the page ends it, and no "<!--"
    // inside it can make the parser look for a second "</script>".
    const auto start = page.find("<script>var banner_params=");
    ASSERT_NE(start, std::string::npos);
    EXPECT_EQ(page.find("</script", start),
              page.size() - std::string_view("</script></body></html>").size())
        << text;
    EXPECT_EQ(page.find("<!--", start), std::string::npos) << text;
  }
}

TEST_F(SecurityTest, DeepLinksWriteOnlyTheAllowedKeys) {
  Tavrino client(baseUrl, "1234", "0");
  const std::string before = Util::readDefault("_cburl");
  Util::setCookieToQIVDefaults("qiv_token", "token");
  client.trackDeepLink(
      "app://open?tavrino=preview&qivtest=1&_cburl=http://evil.example/&qiv_token=x&_uid=9"
      "&companyid=77&qivhash=1&_enable_hash=0&other=1");
  EXPECT_EQ(Util::readDefault("qivtest"), "1");
  EXPECT_EQ(Util::readDefault("companyid"), "77");
  EXPECT_EQ(Util::readDefault("_cburl"), before);
  EXPECT_EQ(Util::readDefault("qiv_token"), "token");
  EXPECT_EQ(Util::readDefault("_uid"), "");
  EXPECT_EQ(Util::readDefault("other"), "");
  EXPECT_EQ(Util::readDefault("_enable_hash"), "");

  // With the hash switched on, a link without the right hash sets nothing.
  Tavrino::enable_hash("secret");
  client.trackDeepLink("app://open?tavrino=preview&qivforce=1&qivhash=guess");
  EXPECT_EQ(Util::readDefault("qivforce"), "");
  client.trackDeepLink("app://open?tavrino=preview&qivforce=1&qivhash=secret");
  EXPECT_EQ(Util::readDefault("qivforce"), "1");
  Tavrino::disable_hash();
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
  run(Value::array({{{"type", "A"}, {"name", "allowed"}, {"class", "Recorder"}},
                    {{"type", "A"}, {"name", "dealloc"}, {"class", "Recorder"}},
                    {{"type", "A"}, {"name", "allowed:allowed"}, {"class", "Recorder"}},
                    {{"type", "A"}, {"name", "allowed"}, {"class", "../Recorder"}},
                    {{"type", "A"}, {"name", "system"}, {"class", "qiv"}},
                    {{"type", "A"}, {"name", "allowed"}, {"class", std::string("Recorder\0x", 10)}}}));
  EXPECT_EQ(HostRecorder::calls, 1);

  HostRecorder direct;
  EXPECT_FALSE(registry.respondsToSelector(direct, "dealloc:"));
  EXPECT_FALSE(registry.perform(direct, "other:", Value("x")));
  EXPECT_TRUE(registry.perform(direct, "allowed:", Value("x")));
  EXPECT_EQ(HostRecorder::calls, 2);
  registry.resetForTesting();
  EXPECT_FALSE(registry.perform(direct, "allowed:", Value("x")));
  EXPECT_EQ(HostRecorder::calls, 2);
}

class InAppBrowserSecurityTest : public ClickTest {};

TEST_F(InAppBrowserSecurityTest, LoadsOnlyHttpAndHttps) {
  for (const char* target : {"httpx://shop.example/x", "http-evil://shop.example/",
                             "httpfile:///etc/passwd", "HTTPS-x://shop.example/"}) {
    auto banner = popUp({{"zbid", "5"}, {"uapp", target}});
    ASSERT_TRUE(tapOk(banner)) << target;
    if (banner->inAppBrowser) {
      EXPECT_EQ(contentOf(*banner->inAppBrowser).kind, platform::WebContent::Kind::none) << target;
    }
  }
  for (const char* target : {"https://shop.example/x", "http://shop.example/y"}) {
    auto banner = popUp({{"zbid", "5"}, {"uapp", target}});
    ASSERT_TRUE(tapOk(banner));
    ASSERT_TRUE(banner->inAppBrowser) << target;
    EXPECT_EQ(contentOf(*banner->inAppBrowser).request.url, target);
  }
}

}  // namespace
}  // namespace tavrino::testing
