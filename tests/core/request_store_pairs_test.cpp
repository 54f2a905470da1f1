// The pairs the store adds to a request. The standard request is read in one
// walk of the store, visiting only the key ranges it can use, and written into
// one string. These stores put entries of every kind, right at the edges of
// those ranges (longer keys under an exact key, neighbours of a range, renamed
// campaign keys anywhere in the key order) and inside a transaction's own
// writes: the URL must be what a walk of the whole store gives. Expired
// cookies are swept on the way.

#include <gtest/gtest.h>

#include <string>

#include "core/request_test.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class StorePairsTest : public testing::RequestTest {
 protected:
  void SetUp() override {
    RequestTest::SetUp();
    storeAll("_cburl=//t.example/;_s=42;qivrandom=7");
    processState().withConfig([](SharedConfiguration& c) { c.companyId = "42"; });
  }
  const std::string ahead = std::to_string(testing::kTestEpoch + 3600);
  const std::string past = std::to_string(testing::kTestEpoch - 1);
};

TEST_F(StorePairsTest, SendsLiveCookiesAndSweepsExpiredOnes) {
  storeAll(
      "qiv_k=v 0;qiv_h=v {ahead};qiv_now=w {now};app_qiv_old=a {past};qiv_token=tok 0;"
      "qiv_vstp=123;qiv_plain=noblank;qiv_odd=v soon;_company_settings=1 {past};"
      "_company_settings_2=1 {ahead};other=x 0");
  // A cookie is still valid in its last second.
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&qiv_h=v&qiv_now=w&qiv_vstp=123");
  const std::string kept = "qiv_h=v " + ahead + " qiv_now=w " +
                           std::to_string(testing::kTestEpoch) +
                           " qiv_token=tok 0 qiv_vstp=123 qiv_plain=noblank qiv_odd=v soon "
                           "_company_settings_2=1 " +
                           ahead + " other=x 0";
  EXPECT_EQ(storedAll("qiv_k app_qiv_old _company_settings qiv_h qiv_now qiv_token qiv_vstp "
                      "qiv_plain qiv_odd _company_settings_2 other"),
            "!qiv_k !app_qiv_old !_company_settings " + kept);
  clock().advance(std::chrono::seconds(1));
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&qiv_h=v&qiv_vstp=123");
  EXPECT_FALSE(Util::qivDefaults()->object("qiv_now"));
}

TEST_F(StorePairsTest, ForwardsVisitorAndAttributionEntriesWhole) {
  storeAll(
      "uids=u,1 "
      "2;qivparam=a\r\nb;utm_source=news;utm_medium=mail;_utm_medium=medium_key;medium_key=m");
  Util::setCategoryToQIVDefaults("qiv_referral", 5);
  EXPECT_EQ(Util::createLinkForUserDefaults(),
            "&medium_key=m&qiv_referral=5&qivparam=a%0D%0Ab&uids=u%2C1%202&utm_source=news");
}

TEST_F(StorePairsTest, NeighboursOfTheRangesStayOutAndTheirMembersGoOut) {
  // Longer keys under the exact keys, and keys just beside each range.
  storeAll(
      "vcx=n;uidsx=n;pvc2=n;ftux=n;cuid2x=n;cuid=n;memberidx=n;_sx=n;_cburlx=n;app_qi=n;apq=n;"
      "qi=n;qiw=n;uid=n;usercount_1=n;vd=n;Zed=n;0=n;~=n;vc=3;pvc=4;ftu=1;uids=u;cuid2=m;app_qiv="
      "edge {ahead};app_qivz=z {ahead};"
      "qiv=bare {ahead};qiv_=under {ahead};qiv_vstp=100;qiv_referral=r 1;"
      "qivo.custom.events_1=e {ahead};qivunregpush=1;qivz=last {ahead};"
      "_company_settings=1 {past};_company_settingsx=1 {ahead}");
  Util::setCategoryToQIVDefaults("qiv_idfa", Value::array({1, 2}));

  EXPECT_EQ(Util::createLinkForUserDefaults(),
            "&app_qiv=edge&app_qivz=z&cuid2=m&qiv_=under&qiv_idfa=%5B1%2C2%5D"
            "&qiv_referral=r%201&qiv_vstp=100&qivunregpush=1&uids=u");
  EXPECT_TRUE(!stored("_company_settings") && stored("_company_settingsx") &&
              stored("qivo.custom.events_1"));
}

TEST_F(StorePairsTest, RenamedCampaignKeysGoOutWhereverTheySortAndOnlyOnce) {
  // "_utm_source" sorts before every "_" key, "_utm_medium" names a key inside the
  // cookie range (sent whole, not as a cookie), "_utm_term" one of the exact keys,
  // "_utm_campaign" one that begins "qiv" (the cookies must not go out twice), and
  // an empty "_utm_content" forwards nothing.
  storeAll(
      "_utm_source=Src;_utm_medium=qiv_c_9;_utm_term=uids;_utm_campaign=qi;_utm_content=;"
      "Src=a:b;qiv_c_9=kept whole {past};uids=u;qi=qq;qix=not sent;memberid=member;"
      "qivtest=t;companyid=42;utm_source=renamed away;utm_content=renamed to nothing");

  const std::string url = Util::createRequest("standart", {{"p", "Home"}});
  EXPECT_EQ(url,
            "https://t.example/d?&appver=1.0&bl=de&br=iOSMobileApp&brv=17.0&bwh=1170x2532"
            "&cuid=member&dvcmdl=iPhone%20X&dwh=1170x2532&os=iOS&osv=17.0&p=Home"
            "&plt=MobileApp&qivover=3.0.76&qivpnst=2&qivrandom=7&qivtest=t&return=json&s=42"
            "&sunq=1&swh=1170x2532"
            "&Src=a%3Ab&qi=qq&qiv_c_9=kept%20whole%20" +
                past + "&uids=u");
  EXPECT_TRUE(stored("qiv_c_9"));
}

TEST_F(StorePairsTest, InsideATransactionTheWalkSeesItsOwnWrites) {
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

TEST_F(StorePairsTest, StandardUrlOfAStoreWithEveryKindOfEntry) {
  storeAll(
      "_cburl=//t.example/a b;_s=42;qivrandom=7;vc=2;pvc=5;companyid=1234;qivtest=on;"
      "memberid=m&1;qivforce=f;_utm_source=src;src=news:today;"
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
            "&return=json&s=42&sunq=1&swh=1170x2532&vc=2"
            "&app_qiv_x=a%2Cb&cuid2=old&qiv_c_1=live&qivparam=12&src=news%3Atoday&uids=u%7C1%7C2"
            "&adetail[]=shoe%201");
  EXPECT_TRUE(!stored("qiv_c_2") && !stored("_company_settings_9") && stored("qiv_token"));
}

TEST_F(StorePairsTest, TextThatIsNotUtf8GoesOutEmptyAndIsLoggedAfterTheWalk) {
  enableDebugLog();
  set("uids", "u\xff");
  set("cuid2", "ok");
  // Logging reads the store: it must wait until the walk has let go of it.
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&cuid2=ok&uids=");
  EXPECT_TRUE(log().contains("encodeForUrl skipped a text that is not UTF-8"));
}

TEST_F(StorePairsTest, ItemTextsStopAtTheLimit) {
  auto setItems = [](std::vector<std::string> items) {
    processState().withConfig([&](SharedConfiguration& c) { c.pageItems = std::move(items); });
  };
  const std::string a(6000, 'a'), b(6000, 'b'), c(6000, 'c');
  setItems({a, b, c});
  EXPECT_EQ(Util::_getaitemtext(), "&adetail[]=" + a + "&adetail[]=" + b);
  // The limit counts characters of the texts, not encoded bytes.
  const std::string half(6500, 'x');
  std::string wide;
  for (int i = 0; i < 6500; ++i) wide += "\u00e9";
  setItems({half, wide, "y"});
  const std::string text = Util::_getaitemtext();
  EXPECT_NE(text.find("&adetail[]=%C3%A9"), std::string::npos);
  EXPECT_EQ(text.find("&adetail[]=y"), std::string::npos);
  setItems({"a&b c/\u00e9:=", "\xff", "z"});  // a text that is not UTF-8 is skipped
  EXPECT_EQ(Util::_getaitemtext(), "&adetail[]=a%26b%20c%2F%C3%A9:=&adetail[]=z");
}

}  // namespace
}  // namespace tavrino
