// The cookies an impression leaves: when each ends, which are written, and
// the unique "I,V" marker.

#include "banner/pop_up_impression.hpp"
#include "core/shared_configuration.hpp"
#include "support/sdk_test.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using testing::kTestEpoch;

class ImpressionCookiesTest : public testing::SdkTest {
 protected:
  static std::string stored(std::string_view key) { return Util::readDefault(key); }
  static std::string at(std::int64_t seconds) { return std::to_string(kTestEpoch + seconds); }
};

TEST_F(ImpressionCookiesTest, EndsFollowTheLifetimesInMinutes) {
  constexpr std::int64_t day = 86400;
  struct Case {
    Value params;
    std::int64_t show, repeat, impression;  // seconds from now
  };
  const Case cases[] = {
      // Defaults: "cend" 1440 minutes and a day; the impression "icend" 60.
      {Value::object(), 2 * day, 2 * day, 3600},
      {{{"ccend", "10"}, {"rcend", "5"}, {"icend", "2"}}, 600, 300, 120},
      {{{"ccend", "0"}, {"cend", "30"}, {"rcend", "0"}}, 1800 + day, 1800 + day, 3600},
      // A fraction of a minute counts its whole seconds.
      {{{"ccend", "0.5"}, {"icend", "1.5"}}, 30, 30, 90},
      // "icend" 0 or no number: "cend" and a day, like the show cookie.
      {{{"icend", "0"}, {"cend", "60"}}, 3600 + day, 3600 + day, 3600 + day},
      {{{"icend", "soon"}}, 2 * day, 2 * day, 2 * day},
      {{{"icend", "-5"}, {"ccend", "-5"}, {"rcend", "x"}}, 2 * day, 2 * day, 2 * day},
      // A "cend" that is no lifetime counts as its default.
      {{{"cend", "abc"}}, 2 * day, 2 * day, 3600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params.dump());
    const auto ends = banner::impressionEnds(c.params, kTestEpoch);
    EXPECT_EQ(ends.show, kTestEpoch + c.show);
    EXPECT_EQ(ends.repeat, kTestEpoch + c.repeat);
    EXPECT_EQ(ends.impression, kTestEpoch + c.impression);
  }
  // Huge lifetimes saturate instead of wrapping into the past.
  const auto far = banner::impressionEnds({{"icend", "1e300"}, {"ccend", "1e300"}}, kTestEpoch);
  EXPECT_EQ(far.impression, INT64_MAX);
  EXPECT_EQ(far.show, INT64_MAX);
}

TEST_F(ImpressionCookiesTest, SwitchesChooseTheCookies) {
  struct Case {
    Value params;
    bool show, repeat, impression;
  };
  const Case cases[] = {
      {Value::object(), false, false, true},
      {{{"stc", "1"}}, true, false, true},
      {{{"sckie", "true"}, {"rckie", "1"}, {"ickie", "0"}}, true, true, false},
      {{{"sckie", "1"}, {"rckie", "true"}, {"ickie", "false"}}, true, false, false},
      {{{"sckie", "yes"}, {"stc", "true"}, {"ickie", "no"}}, false, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params.dump());
    Util::removeCookieStartsWith("qiv_");
    Value params = c.params;
    params.update(Value{{"zbid", "31"}, {"zid", "4"}, {"clickid", "2"}});
    banner::writeImpressionCookies(params);
    EXPECT_EQ(stored("qiv_s_4"), c.show ? "31 " + at(2 * 86400) : "");
    EXPECT_EQ(stored("qiv_r_31"), c.repeat ? "1 " + at(2 * 86400) : "");
    EXPECT_EQ(stored("qiv_i_4"), c.impression ? "31 " + at(3600) : "");
    EXPECT_EQ(stored("qiv_z_31_2"), c.impression ? "I,V " + at(3600) : "");
  }
}

TEST_F(ImpressionCookiesTest, UniqueMarkerJoinsOnlyWhenNeitherIsRecorded) {
  const Value params = {{"zbid", "5"}, {"zid", "1"}, {"icend", "10"}};
  Util::setCookieToQIVDefaults("qiv_z_5_1", "C 99");
  banner::writeImpressionCookies(params);
  EXPECT_EQ(stored("qiv_z_5_1"), "C,I,V " + at(600)) << "a click marker keeps its place";

  for (const char* recorded : {"V 99", "AC3,I 99"}) {
    Util::setCookieToQIVDefaults("qiv_z_5_1", recorded);
    banner::writeImpressionCookies(params);
    EXPECT_EQ(stored("qiv_z_5_1"), recorded);
  }
  // "VI" is neither "V" nor "I".
  Util::setCookieToQIVDefaults("qiv_z_5_1", "VI 99");
  banner::writeImpressionCookies(params);
  EXPECT_EQ(stored("qiv_z_5_1"), "VI,I,V " + at(600));
}

}  // namespace
}  // namespace tavrino
