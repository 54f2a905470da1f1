// Request building: the URL of every request type, the device's system pairs
// and the pairs the store adds. The standard request is read in one walk of
// the store, visiting only the key ranges it can use, and written into one
// string. The stores below put entries of every kind right at the edges of
// those ranges (longer keys under an exact key, neighbours of a range, renamed
// campaign keys anywhere in the key order) and inside a transaction's own
// writes: the URL must be what a walk of the whole store gives. Expired
// cookies are swept on the way.

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/url_encoding.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

// A described device, so that every system parameter is known and URLs can
// be compared whole, of company "42" with random bucket "7".
class RequestTest : public testing::SdkTest {
 protected:
  void SetUp() override {
    SdkTest::SetUp();
    systemInfo().setLanguageCode("de");
    systemInfo().setHardwareIdentifier("iPhone10,3");
    storeAll("_cburl=//t.example/;_s=42;qivrandom=7");
    processState().withConfig([](SharedConfiguration& c) { c.companyId = "42"; });
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
    for (const auto& key : testing::words(keys)) {
      const auto it = pairs.find(key);
      all += (all.empty() ? "" : " ") + (it == pairs.end() ? "!" + key : key + "=" + it->second);
    }
    return all;
  }
  static bool stored(std::string_view key) { return Util::qivDefaults()->object(key).has_value(); }

  const std::string base = "https://t.example/";
  // The query of every standard request without client, store or item pairs.
  const std::string query =
      "&appver=1.0&bl=de&br=iOSMobileApp&brv=17.0&bwh=1170x2532&dvcmdl=iPhone%20X"
      "&dwh=1170x2532&os=iOS&osv=17.0&plt=MobileApp&qivover=3.0.76&qivpnst=2"
      "&qivrandom=7&return=json&s=42&sunq=1&swh=1170x2532";
  const std::string ahead = std::to_string(testing::kTestEpoch + 3600);
  const std::string past = std::to_string(testing::kTestEpoch - 1);
};

TEST_F(RequestTest, BuildsTheExactUrlOfEveryRequestTypeOnAnyBase) {
  EXPECT_EQ(Util::createRequest("standart", {}), base + "d?" + query);
  EXPECT_EQ(Util::createRequest("track", {{"a", "x y"}}), base + "t?&a=x%20y" + query);
  EXPECT_EQ(Util::createRequest("push", {}), base + "u?&token=1&publickey=1" + query);
  Util::setCookieToQIVDefaults("qiv_token", "0aff");
  EXPECT_EQ(Util::createRequest("push", {}),
            base + "u?&token=1&publickey=1&endpoint=0aff&qivsubstype=3" + query);
  EXPECT_EQ(Util::createRequest("message", {}), base + "pn/gm.php?" + query);
  EXPECT_EQ(Util::createRequest("pushpreview", {}),
            base + "platform/sendnot.php?&qivsubstype=3" + query);
  EXPECT_EQ(Util::createRequest("inboxlist", {}), base + "appinboxcat?" + query);
  EXPECT_EQ(Util::createRequest("settings", {}), base + "cmpdata?" + query);
  EXPECT_EQ(Util::createRequest("unknown", {}), base + query);
  // The log upload carries its own parameters only.
  EXPECT_EQ(Util::createRequest("log", {{"m", "a b"}, {"_x", "1"}}), base + "jsonlog?&m=a%20b");
  // The base URL is completed and never carries control characters or blanks raw.
  const std::pair<const char*, const char*> cases[] = {
      {"https://host.example/", "https://host.example/jsonlog?"},
      {"", "/jsonlog?"},
      {"//h.example/a b\r\nX-Injected: 1\t\x01\u00e9%41#",
       "https://h.example/a%20b%0D%0AX-Injected:%201%09%01%C3%A9%41#/jsonlog?"}};
  for (const auto& [base, url] : cases) {
    Util::setCookieToQIVDefaults("_cburl", base);
    EXPECT_EQ(Util::createRequest("log", {}), url) << base;
  }
}

TEST_F(RequestTest, SystemPairsFollowTheStoreThePushStateAndThePlatform) {
  storeAll("qivtest=1;memberid=m7;qivforce=f;companyid=41");
  EXPECT_EQ(system("qivtest cuid qivforce"), "!qivtest !cuid !qivforce");
  set("companyid", "42");
  EXPECT_EQ(system("qivtest cuid qivforce"), "qivtest=1 cuid=m7 qivforce=f");
  set("qivtest", "");  // no test mode: no member id either
  EXPECT_EQ(system("qivtest cuid qivforce"), "!qivtest !cuid qivforce=f");
  // Visit counters only when stored.
  storeAll("vc=3;pvc=");
  EXPECT_EQ(system("vc pvc ftu"), "vc=3 !pvc !ftu");
  // Push state needs registration and a presentation type.
  EXPECT_EQ(Util::createLocalVariable().at("qivpnst"), "2");
  EXPECT_EQ(processState().steps().back(), "is push enabled false");
  application().setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::authorized, .soundAllowed = true});
  EXPECT_FALSE(Util::isPushEnabled());  // not registered yet
  application().setRegisteredForRemoteNotifications(true);
  EXPECT_EQ(Util::createLocalVariable().at("qivpnst"), "1");
  EXPECT_EQ(processState().steps().back(), "is push enabled true");
  application().setNotificationSettings(
      {.authorizationStatus = platform::AuthorizationStatus::denied});
  EXPECT_FALSE(Util::isPushEnabled());
  // Device facts follow the platform.
  systemInfo().setInterfaceIdiom(platform::InterfaceIdiom::pad);
  systemInfo().setScreenNativeBounds({1668.9, 2388.2});
  systemInfo().setLanguageCode(std::nullopt);
  systemInfo().setBundleInfo("CFBundleShortVersionString", std::nullopt);
  EXPECT_EQ(system("plt br swh bl appver"),
            "plt=TabletApp br=iOSTabletApp swh=1668x2388 bl= appver=");
  systemInfo().setInterfaceIdiom(platform::InterfaceIdiom::other);
  systemInfo().setScreenNativeBounds({-1, std::numeric_limits<double>::infinity()});
  EXPECT_EQ(system("plt br bwh"), "plt= br=iOS bwh=0x0");
}

TEST_F(RequestTest, RandomBucketIsDrawnOnceAndKept) {
  Util::removeCookieFromQIVDefaults("qivrandom");
  const std::string bucket = Util::createLocalVariable().at("qivrandom");
  std::int64_t value = 0;
  ASSERT_TRUE(parseInteger(bucket, &value));
  EXPECT_TRUE(value >= 1 && value <= 100);

  // Concurrent first requests agree on one bucket.
  Util::removeCookieFromQIVDefaults("qivrandom");
  std::vector<std::string> seen(4);
  std::vector<std::thread> threads;
  for (auto& value : seen) {
    threads.emplace_back([&value] { value = Util::createLocalVariable().at("qivrandom"); });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(std::count(seen.begin(), seen.end(), Util::readDefault("qivrandom")), 4);
}

TEST_F(RequestTest, SendsLiveCookiesAndSweepsExpiredOnes) {
  storeAll(
      "qiv_k=v 0;qiv_h=v {ahead};qiv_now=w {now};app_qiv_old=a {past};qiv_token=tok 0;"
      "qiv_vstp=123;qiv_plain=noblank;qiv_odd=v soon;_company_settings=1 {past};"
      "_company_settings_2=1 {ahead};other=x 0");
  // A cookie is still valid in its last second.
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&qiv_h=v&qiv_now=w&qiv_vstp=123");
  EXPECT_EQ(storedAll("qiv_k app_qiv_old _company_settings qiv_token qiv_plain qiv_odd "
                      "_company_settings_2 other"),
            "!qiv_k !app_qiv_old !_company_settings qiv_token=tok 0 qiv_plain=noblank qiv_odd=v "
            "soon _company_settings_2=1 " +
                ahead + " other=x 0");
  clock().advance(std::chrono::seconds(1));
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&qiv_h=v&qiv_vstp=123");
  EXPECT_FALSE(Util::qivDefaults()->object("qiv_now"));
}

// Visitor and attribution entries go out whole; longer keys under the exact
// keys, and keys just beside each range, stay out.
TEST_F(RequestTest, NeighboursOfTheRangesStayOutAndTheirMembersGoOut) {
  storeAll(
      "vcx=n;uidsx=n;pvc2=n;ftux=n;cuid2x=n;cuid=n;memberidx=n;_sx=n;_cburlx=n;app_qi=n;apq=n;"
      "qi=n;qiw=n;uid=n;usercount_1=n;vd=n;Zed=n;0=n;~=n;vc=3;pvc=4;ftu=1;uids=u,1 2;cuid2=m;"
      "app_qiv=edge {ahead};app_qivz=z {ahead};qiv=bare {ahead};qiv_=under {ahead};qiv_vstp=100;"
      "qiv_referral=r 1;qivo.custom.events_1=e {ahead};qivunregpush=1;qivz=last {ahead};"
      "_company_settings=1 {past};_company_settingsx=1 {ahead};qivparam=a\r\nb;"
      "utm_source=news;utm_medium=mail;_utm_medium=medium_key;medium_key=m");
  Util::setCategoryToQIVDefaults("qiv_idfa", Value::array({1, 2}));
  EXPECT_EQ(Util::createLinkForUserDefaults(),
            "&app_qiv=edge&app_qivz=z&cuid2=m&medium_key=m&qiv_=under&qiv_idfa=%5B1%2C2%5D"
            "&qiv_referral=r%201&qiv_vstp=100&qivparam=a%0D%0Ab&qivunregpush=1&uids=u%2C1%202"
            "&utm_source=news");
  EXPECT_TRUE(!stored("_company_settings") && stored("_company_settingsx") &&
              stored("qivo.custom.events_1"));
}

TEST_F(RequestTest, InsideATransactionTheWalkSeesItsOwnWrites) {
  storeAll("qiv_c_1=old {ahead};qiv_c_3=stays {ahead};vcx=n;vc=1");
  std::string url;
  Util::qivDefaults()->transaction([&] {
    Util::removeCookieFromQIVDefaults("qiv_c_1");
    set("qiv_c_2", "new " + ahead);
    set("qiv_c_4", "expired " + past);
    set("vc", "2");
    set("uids", "fresh");
    url = Util::createRequest("standart", {});
  });
  EXPECT_NE(url.find("&vc=2"), std::string::npos) << url;
  EXPECT_TRUE(url.ends_with("&qiv_c_2=new&qiv_c_3=stays&uids=fresh")) << url;
  EXPECT_TRUE(!stored("qiv_c_4") && stored("qiv_c_3"));
}

// Client pairs win over system pairs. Of the renamed campaign keys,
// "_utm_source" sorts before every "_" key, "_utm_medium" names a key inside
// the cookie range (sent whole, not as a cookie), "_utm_term" one of the exact
// keys, "_utm_campaign" one that begins "qiv" (the cookies must not go out
// twice), and an empty "_utm_content" forwards nothing.
TEST_F(RequestTest, StandardUrlOfAStoreWithEveryKindOfEntry) {
  storeAll(
      "_cburl=//t.example/a b;vc=2;pvc=5;companyid=1234;qivtest=on;memberid=m&1;qivforce=f;"
      "_utm_source=src;_utm_medium=qiv_c_9;_utm_term=uids;_utm_campaign=qi;_utm_content=;"
      "src=news:today;qiv_c_9=kept whole {past};qi=qq;qix=not sent;utm_content=renamed away;"
      "utm_source=not forwarded, renamed;uids=u|1|2;cuid2=old;qiv_c_1=live {ahead};"
      "qiv_c_2=gone {past};qiv_token=tok {ahead};app_qiv_x=a,b {ahead};"
      "_company_settings_9=1 {past};visitcount_3=1");
  Util::setCategoryToQIVDefaults("qivparam", 12);
  processState().withConfig([](SharedConfiguration& c) {
    c.companyId = "1234";
    c.pageItems = {"shoe 1"};
  });
  const StringMap params = {{"p", "Home"},  {"s", "99"},     {"osv", "client"},
                            {"_spid", "8"}, {"_spiid", "9"}, {"_x", "no"}};
  EXPECT_EQ(Util::createRequest("standart", params),
            "https://t.example/a%20b/d?"
            "&_spid=8&_spiid=9&appver=1.0&bl=de&br=iOSMobileApp&brv=17.0&bwh=1170x2532"
            "&cuid=m%261&dvcmdl=iPhone%20X&dwh=1170x2532&os=iOS&osv=client&p=Home"
            "&plt=MobileApp&pvc=5&qivforce=f&qivover=3.0.76&qivpnst=2&qivrandom=7&qivtest=on"
            "&return=json&s=42&sunq=1&swh=1170x2532&vc=2&app_qiv_x=a%2Cb&cuid2=old&qi=qq"
            "&qiv_c_1=live&qiv_c_9=kept%20whole%20" +
                past + "&qivparam=12&src=news%3Atoday&uids=u%7C1%7C2&adetail[]=shoe%201");
  EXPECT_TRUE(!stored("qiv_c_2") && !stored("_company_settings_9") && stored("qiv_token") &&
              stored("qiv_c_9"));
}

TEST_F(RequestTest, TextThatIsNotUtf8GoesOutEmptyAndIsLoggedAfterTheWalk) {
  enableDebugLog();
  set("uids", "u\xff");
  set("cuid2", "ok");
  // Logging reads the store: it must wait until the walk has let go of it.
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&cuid2=ok&uids=");
  EXPECT_TRUE(log().contains("encodeForUrl skipped a text that is not UTF-8"));
}

TEST_F(RequestTest, ItemTextsStopAtTheLimit) {
  auto setItems = [](std::vector<std::string> items) {
    processState().withConfig([&](SharedConfiguration& c) { c.pageItems = std::move(items); });
  };
  // The limit counts characters of the texts, not their bytes.
  const std::string a(6000, 'a'), c(6000, 'c');
  std::string wide, encoded;
  for (int i = 0; i < 6000; ++i) {
    wide += "\u00e9";
    encoded += "%C3%A9";
  }
  setItems({a, wide, c});
  EXPECT_EQ(Util::_getaitemtext(), "&adetail[]=" + a + "&adetail[]=" + encoded);
  setItems({"a&b c/\u00e9:=", "\xff", "z"});  // a text that is not UTF-8 is skipped
  EXPECT_EQ(Util::_getaitemtext(), "&adetail[]=a%26b%20c%2F%C3%A9:=&adetail[]=z");
}

TEST_F(RequestTest, DeviceModelFollowsTheHardwareAndTheSimulatorAndLanguageTheLocale) {
  EXPECT_EQ(Util::mapToDevice("AudioAccessory1,1") + " " + Util::mapToDevice("iPhone12,1"),
            "HomePod iPhone12,1");
  // A simulator that names itself must not recurse.
  systemInfo().setHardwareIdentifier("i386");
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", "x86_64");
  EXPECT_EQ(Util::createLocalVariable().at("dvcmdl"), "Simulator x86_64");
  std::string languages;
  for (const char* locale : {"sr_RS@latin", "C.UTF-8", "POSIX", "1x_DE", "d"}) {
    languages += platform::languageCodeOfLocale(locale).value_or("-") + " ";
  }
  EXPECT_EQ(languages, "sr en en - - ");
}

// The encoder's wire safety is held by the URL encoding fuzz target.
TEST_F(RequestTest, EncodingEscapesSeparatorsControlAndNonAsciiBytesAndSanitizingListedLetters) {
  EXPECT_EQ(Util::encodeForUrl("k\r\nX: 1", "v\r\nSet-Cookie: a=b&c,\"\u011f#%"),
            "&k%0D%0AX:%201=v%0D%0ASet-Cookie%3A%20a=b%26c%2C%22%C4%9F%23%25");
  // A text that is not UTF-8 is dropped, never sent raw.
  EXPECT_EQ(Util::encodeForUrl("k", "\xff\r\n"), "&k=");
  EXPECT_EQ(urlEncoded("a b\r\n\t\x7f\u00fc/?", CharacterSet::urlQueryDenied()),
            "a%20b%0D%0A%09%7F%C3%BC/?");
  EXPECT_EQ(urlEncoded("a/b", CharacterSet::urlDenied()), "a%2Fb");
  // An empty denying set still never lets a non-ASCII byte through raw.
  EXPECT_EQ(urlEncoded("\u00e9", CharacterSet()), "%C3%A9");
  for (const char* bad : {"\xc3", "\xc0\xaf", "\xed\xa0\x80"}) {  // truncated, overlong, surrogate
    EXPECT_EQ(urlEncoded(bad, CharacterSet::urlQueryDenied()), std::nullopt) << bad;
  }
  // Sanitizing replaces the listed letters only.
  EXPECT_EQ(Util::sanitize("\u00c4\u00e4\u00df\u00e7\u00c7\u011f\u011e\u015f\u015e\u00fc\u00dc"
                           "\u0131\u0130\u00f6\u00d6 caf\u00e9 \u00c5/1"),
            "AasscCgGsSuUiIoO caf\u00e9 \u00c5/1");
}

}  // namespace
}  // namespace tavrino
