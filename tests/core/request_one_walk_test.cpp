// The standard request read in one walk of the store and written into one
// string: the whole URL for a store with every kind of entry, and the device
// facts kept between requests only while the platform still reports them.

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/request_test.hpp"
#include "core/shared_configuration.hpp"
#include "tavrino/util/request.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

class OneWalkTest : public testing::RequestTest {
 protected:
  // Sets "key=value;...", "{ahead}" standing for an hour ahead, "{past}" for a second ago.
  void setAll(const std::string& entries) const {
    std::istringstream in(entries);
    for (std::string entry; std::getline(in, entry, ';');) {
      if (const auto at = entry.find("{ahead}"); at != std::string::npos) {
        entry.replace(at, 7, hourAhead);
      }
      if (const auto at = entry.find("{past}"); at != std::string::npos) entry.replace(at, 6, past);
      set(entry.substr(0, entry.find('=')), entry.substr(entry.find('=') + 1));
    }
  }
  const std::string hourAhead = std::to_string(testing::kTestEpoch + 3600);
  const std::string past = std::to_string(testing::kTestEpoch - 1);
};

TEST_F(OneWalkTest, StandardUrlOfAStoreWithEveryKindOfEntry) {
  setAll(
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
  // {hardware, simulated model (empty: none), model}; the cache follows each change.
  const struct {
    const char *hardware, *simulated, *model;
  } steps[] = {{"iPhone10,3", "", "iPhone X"},
               {"iPad8,1", "", "iPad Pro (11-inch)"},
               {"x86_64", "iPhone11,8", "Simulator iPhone XR"},
               {"x86_64", "iPhone10,3", "Simulator iPhone X"},
               {"x86_64", "", "Simulator iOS"},
               {"iPhone10,3", "", "iPhone X"}};
  for (const auto& step : steps) {
    systemInfo().setHardwareIdentifier(step.hardware);
    systemInfo().setEnvironmentValue("SIMULATOR_MODEL_IDENTIFIER", step.simulated);
    EXPECT_EQ(Util::getDeviceModel(), step.model) << step.hardware << " " << step.simulated;
    EXPECT_EQ(Util::createLocalVariable().at("dvcmdl"), step.model);
  }
}

}  // namespace
}  // namespace tavrino
