// A page view writes only what changed, inside its one transaction: the
// stored state after it is the same as if every key had been rewritten.

#include <gtest/gtest.h>

#include <chrono>

#include "core/pageview_test.hpp"

namespace tavrino {
namespace {

using std::chrono::minutes;

class PageviewWritesTest : public testing::PageviewTest {
 protected:
  static std::optional<Value> object(std::string_view key) {
    return Util::qivDefaults()->object(key);
  }
};

TEST_F(PageviewWritesTest,
       RepeatedPageViewsKeepCountingPutTheSwitchesRightAsTextAndANewVisitDropsOnlyVisitCounters) {
  // The number 0 describes as "0", but the switch is a text.
  Util::setCategoryToQIVDefaults("_secureonly", 0);
  Util::setCategoryToQIVDefaults("_native_click", Value::array());
  view();
  EXPECT_EQ(object("_secureonly"), Value("0"));
  EXPECT_EQ(object("_native_click"), Value("0"));
  EXPECT_EQ(stored("ftu"), "1");
  for (const char* count : {"2", "3"}) {
    const auto before = Util::qivDefaults()->changeCount();
    view();
    EXPECT_GT(Util::qivDefaults()->changeCount(), before);
    EXPECT_EQ(stored("pvc"), count);
    EXPECT_FALSE(object("ftu"));
  }
  // Another writer's value of a switch is put back by the next page view.
  Util::setCookieToQIVDefaults("_push_req_to", "5");
  view();
  EXPECT_EQ(stored("_push_req_to"), "300");

  // A new visit removes every visit counter, and only those.
  for (auto key : {"visitcount_1", "visitcount_2", "visitcount_30", "visitcount", "visitcounter"}) {
    Util::setCookieToQIVDefaults(key, "1");
  }
  clock().advance(minutes(31));
  view();
  EXPECT_EQ(stored("vc"), "2");
  for (auto key : {"visitcount_1", "visitcount_2", "visitcount_30"}) EXPECT_FALSE(object(key));
  EXPECT_EQ(stored("visitcount"), "1");
  EXPECT_EQ(stored("visitcounter"), "1");
}

}  // namespace
}  // namespace tavrino
