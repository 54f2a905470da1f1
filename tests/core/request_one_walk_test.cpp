// The standard request read in one walk of the store and written into one
// string: the whole URL for a store with every kind of entry, and the device
// facts kept between requests only while the platform still reports them.

#include <gtest/gtest.h>

#include <string>

#include "core/request_test.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class OneWalkTest : public testing::RequestTest {
 protected:
  const std::string hourAhead = std::to_string(testing::kTestEpoch + 3600);
  const std::string past = std::to_string(testing::kTestEpoch - 1);
};

TEST_F(OneWalkTest, StandardUrlOfAStoreWithEveryKindOfEntry) {
  set("_cburl", "//t.example/a b");
  set("_s", "42");
  set("qivrandom", "7");
  set("vc", "2");
  set("pvc", "5");
  set("companyid", "1234");
  set("qivtest", "on");
  set("memberid", "m&1");
  set("qivforce", "f");
  set("_utm_source", "src");
  set("src", "news:today");
  set("utm_source", "not forwarded, renamed");
  set("uids", "u|1|2");
  set("cuid2", "old");
  set("qiv_c_1", "live " + hourAhead);
  set("qiv_c_2", "gone " + past);
  set("qiv_token", "tok " + hourAhead);
  set("app_qiv_x", "a,b " + hourAhead);
  set("_company_settings_9", "1 " + past);
  set("visitcount_3", "1");
  Util::setCategoryToQIVDefaults("qivparam", 12);
  processState().withConfig([](SharedConfiguration& c) {
    c.companyId = "1234";
    c.pageItems = {"shoe 1"};
  });

  const std::string url = Util::createRequest("standart", {{"p", "Home"},
                                                           {"s", "99"},
                                                           {"osv", "client"},
                                                           {"_spid", "8"},
                                                           {"_spiid", "9"},
                                                           {"_x", "no"}});
  EXPECT_EQ(url,
            "https://t.example/a%20b/d?"
            "&_spid=8&_spiid=9&appver=1.0&bl=de&br=iOSMobileApp&brv=17.0&bwh=1170x2532"
            "&cuid=m%261&dvcmdl=iPhone%20X&dwh=1170x2532&os=iOS&osv=client&p=Home"
            "&plt=MobileApp&pvc=5&qivforce=f&qivover=3.0.76&qivpnst=2&qivrandom=7&qivtest=on"
            "&return=json&s=42&sunq=1&swh=1170x2532&vc=2"
            "&app_qiv_x=a%2Cb&cuid2=old&qiv_c_1=live&qivparam=12&src=news%3Atoday&uids=u%7C1%7C2"
            "&adetail[]=shoe%201");
  EXPECT_FALSE(stored("qiv_c_2"));
  EXPECT_FALSE(stored("_company_settings_9"));
  EXPECT_TRUE(stored("qiv_token"));
}

TEST_F(OneWalkTest, TextThatIsNotUtf8GoesOutEmptyAndIsLoggedAfterTheWalk) {
  enableDebugLog();
  set("uids", "u\xff");
  set("cuid2", "ok");
  // Logging reads the store: it must wait until the walk has let go of it.
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&cuid2=ok&uids=");
  EXPECT_TRUE(log().contains("encodeForUrl skipped a text that is not UTF-8"));
}

TEST_F(OneWalkTest, CachedDeviceModelFollowsTheHostsSetters) {
  EXPECT_EQ(Util::getDeviceModel(), "iPhone X");
  systemInfo().setHardwareIdentifier("iPad8,1");
  EXPECT_EQ(Util::getDeviceModel(), "iPad Pro (11-inch)");
  systemInfo().setHardwareIdentifier("x86_64");
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", "iPhone11,8");
  EXPECT_EQ(Util::getDeviceModel(), "Simulator iPhone XR");
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", "iPhone10,3");
  EXPECT_EQ(Util::createLocalVariable().at("dvcmdl"), "Simulator iPhone X");
  systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", "");
  EXPECT_EQ(Util::getDeviceModel(), "Simulator iOS");
  systemInfo().setHardwareIdentifier("iPhone10,3");
  EXPECT_EQ(Util::getDeviceModel(), "iPhone X");
}

}  // namespace
}  // namespace tavrino
