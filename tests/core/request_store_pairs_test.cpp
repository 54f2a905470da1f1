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
  const std::string now = std::to_string(testing::kTestEpoch);
  const std::string hourAhead = std::to_string(testing::kTestEpoch + 3600);
  const std::string past = std::to_string(testing::kTestEpoch - 1);
};

TEST_F(StorePairsTest, SendsLiveCookiesAndSweepsExpiredOnes) {
  set("qiv_k", "v 0");
  set("qiv_h", "v " + hourAhead);
  set("qiv_now", "w " + now);  // still valid in its last second
  set("app_qiv_old", "a " + past);
  set("qiv_token", "tok 0");
  set("qiv_vstp", "123");
  set("qiv_plain", "noblank");
  set("qiv_odd", "v soon");
  set("_company_settings", "1 " + past);
  set("_company_settings_2", "1 " + hourAhead);
  set("other", "x 0");

  EXPECT_EQ(Util::createLinkForUserDefaults(), "&qiv_h=v&qiv_now=w&qiv_vstp=123");
  EXPECT_FALSE(stored("qiv_k"));
  EXPECT_FALSE(stored("app_qiv_old"));
  EXPECT_FALSE(stored("_company_settings"));
  for (auto kept : {"qiv_h", "qiv_now", "qiv_token", "qiv_vstp", "qiv_plain", "qiv_odd",
                    "_company_settings_2", "other"}) {
    EXPECT_TRUE(stored(kept)) << kept;
  }
  clock().advance(std::chrono::seconds(1));
  EXPECT_EQ(Util::createLinkForUserDefaults(), "&qiv_h=v&qiv_vstp=123");
  EXPECT_FALSE(stored("qiv_now"));
}

TEST_F(StorePairsTest, ForwardsVisitorAndAttributionEntriesWhole) {
  set("uids", "u,1 2");
  set("qivparam", "a\r\nb");
  set("utm_source", "news");
  set("utm_medium", "mail");
  set("_utm_medium", "medium_key");
  set("medium_key", "m");
  Util::setCategoryToQIVDefaults("qiv_referral", 5);
  EXPECT_EQ(Util::createLinkForUserDefaults(),
            "&medium_key=m&qiv_referral=5&qivparam=a%0D%0Ab&uids=u%2C1%202&utm_source=news");
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
