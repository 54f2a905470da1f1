// The impression step: the report's pairs, the inline-frame rule, the host
// functions and callbacks, and the cookies and unique marker it leaves.

#include <array>
#include <set>

#include "banner/controller_test.hpp"
#include "banner/pop_up_impression.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using testing::kTestEpoch;
constexpr std::int64_t kDay = 86400;

class ImpressionStepTest : public testing::ImageTest {};

TEST_F(ImpressionStepTest, ReportPairsFollowTheCampaign) {
  const std::pair<Value, StringMap> cases[] = {
      // "cws" 1 reads the "i" keys; a type of 0 stays out, the delay rides with the id.
      {{{"cws", "1"}, {"iqivcmmtyp", "0"}, {"iqivcmmid", "4"}, {"iqvcmmdelay", "30"}},
       {{"a", "w"}, {"qivcmmid", "4"}, {"qivcmmdelay", "30"}}},
      {{{"vqivcmmtyp", "1.5"}, {"vqivcmmid", "-2"}, {"vqvcmmdelay", "9"}}, {{"a", "v"}}},
      {{{"vqivcmmtyp", "3"}, {"spid", "12"}},
       {{"a", "v"}, {"qivcmmtyp", "3"}, {"qivcmmdelay", "0"}, {"spid", "12"}}},
      {{{"cws", "2"}, {"iqivcmmtyp", "3"}, {"spid", "0"}}, {}},
      // Bulk views: a number other than 0, or a text that is no number.
      {{{"bvw", "0.0"}}, {{"a", "v"}}},
      {{{"bvw", "yes"}}, {{"a", "v"}, {"qivcfrom", "bulkview"}}}};
  for (const auto& [params, expected] : cases) {
    StringMap report = banner::impressionReport(params);
    for (const char* fixed : {"di", "at", "zbid", "r"}) EXPECT_EQ(report.erase(fixed), 1u);
    EXPECT_EQ(report, expected) << params.dump();
  }
  std::set<int> draws;
  for (int i = 0; i < 500; ++i) draws.insert(std::stoi(banner::impressionReport({})["r"]));
  EXPECT_TRUE(*draws.begin() >= 1 && *draws.rbegin() <= 100 && draws.size() > 50u);
}

TEST_F(ImpressionStepTest, InlineBannerReportsOnlyForTheFrameItNames) {
  host->view()->setRestorationIdentifier("frame1");
  const std::pair<const char*, bool> cases[] = {
      {"frame1", true}, {"frame2", false}, {"", false}, {"qivdyn@frame9", true}};
  for (const auto& [slc, reports] : cases) {
    const std::size_t before = count("send request : " + baseUrl + "t?");
    std::make_shared<popUpController>()->imageSet(host, {}, "", {{"slc", slc}}, "aich", {});
    EXPECT_EQ(count("send request : " + baseUrl + "t?") - before, reports ? 1u : 0u) << slc;
  }
}

class HomeScreen : public ui::ViewController {
 public:
  HomeScreen() : ViewController("HomeViewController") {}
  static inline std::vector<std::string> calls;
};

TEST_F(ImpressionStepTest, HostFunctionsAndCallbacksRunBeforeTheBanner) {
  auto& registry = runtime::Registry::shared();
  registry.resetForTesting();
  HomeScreen::calls.clear();
  registry.registerClass("HomeViewController", [] { return std::make_shared<HomeScreen>(); });
  for (const char* method : {"impressed", "clicked", "shown", "viewed", "viewedToo"}) {
    registry.registerMethod<HomeScreen>(
        "HomeViewController", method, [method](HomeScreen&, const Value& argument) {
          HomeScreen::calls.push_back(std::string(method) + ":" +
                                      Util::tryCatch(argument, "qivlink", "-") + ":" +
                                      Util::tryCatch(argument, "run_parameter", "-"));
        });
  }
  host = std::make_shared<HomeScreen>();
  window->setRootViewController(host);
  processState().withConfig([](SharedConfiguration& c) {
    c.runv = "viewed";
    c.runi = "viewedToo";
  });
  const auto run = Value::parse(R"({"run_function": "shown", "run_parameter": "p1", "functions":
      [{"type": "I", "name": "impressed", "class": ""}, {"type": "C", "name": "clicked", "class": ""}]})");
  EXPECT_TRUE(attached(*present("", {{"zbid", "3"}, {"run", run}})));
  const std::string link = "https://shop.example/home";
  // The "I" functions see the campaign as it came; the others get the link.
  EXPECT_EQ(HomeScreen::calls,
            (std::vector<std::string>{"impressed:-:-", "shown:" + link + ":p1",
                                      "viewed:" + link + ":p1", "viewedToo:" + link + ":p1"}));
  registry.resetForTesting();
}

TEST_F(ImpressionStepTest, CookieEndsFollowTheLifetimesInMinutes) {
  struct Case {
    Value params;
    std::int64_t show, repeat, impression;  // seconds from now
  };
  // Defaults: "cend" 1440 minutes and a day; the impression "icend" 60;
  // "icend" 0 or no number: "cend" and a day, like the show cookie.
  const Case cases[] = {{Value::object(), 2 * kDay, 2 * kDay, 3600},
                        {{{"ccend", "10"}, {"rcend", "5"}, {"icend", "1.5"}}, 600, 300, 90},
                        {{{"icend", "0"}, {"cend", "60"}}, 3600 + kDay, 3600 + kDay, 3600 + kDay},
                        {{{"icend", "-5"}, {"ccend", "soon"}, {"rcend", "x"}, {"cend", "y"}},
                         2 * kDay,
                         2 * kDay,
                         2 * kDay}};
  for (const auto& c : cases) {
    const auto ends = banner::impressionEnds(c.params, kTestEpoch);
    EXPECT_EQ(std::tuple(ends.show, ends.repeat, ends.impression),
              std::tuple(c.show + kTestEpoch, c.repeat + kTestEpoch, c.impression + kTestEpoch))
        << c.params.dump();
  }
  EXPECT_EQ(banner::impressionEnds({{"icend", "1e300"}}, kTestEpoch).impression, INT64_MAX);
}

TEST_F(ImpressionStepTest, SwitchesChooseTheCookiesAndTheUniqueMarkerJoinsOnce) {
  const auto at = [](std::int64_t seconds) { return std::to_string(kTestEpoch + seconds); };
  // Which of the show, repeat and impression cookies each set of switches writes.
  const std::pair<Value, std::array<bool, 3>> cases[] = {
      {Value::object(), {false, false, true}},
      {{{"stc", "1"}, {"ickie", "no"}}, {true, false, true}},
      {{{"sckie", "true"}, {"rckie", "1"}, {"ickie", "0"}}, {true, true, false}},
      {{{"sckie", "yes"}, {"stc", "true"}, {"rckie", "true"}, {"ickie", "false"}},
       {false, false, false}}};
  for (const auto& [switches, on] : cases) {
    Util::removeCookieStartsWith("qiv_");
    Value params = {{"zbid", "31"}, {"zid", "4"}, {"clickid", "2"}};
    params.update(switches);
    banner::writeImpressionCookies(params);
    std::vector<std::string> written;
    for (const char* key : {"qiv_s_4", "qiv_r_31", "qiv_i_4", "qiv_z_31_2"})
      written.push_back(Util::readDefault(key));
    EXPECT_EQ(written, (std::vector<std::string>{
                           on[0] ? "31 " + at(2 * kDay) : "", on[1] ? "1 " + at(2 * kDay) : "",
                           on[2] ? "31 " + at(3600) : "", on[2] ? "I,V " + at(3600) : ""}))
        << switches;
  }
  // Only when neither "I" nor "V" is recorded; other markers keep their place.
  const std::pair<const char*, std::string> markers[] = {{"C 99", "C,I,V " + at(600)},
                                                         {"V 99", "V 99"},
                                                         {"AC3,I 99", "AC3,I 99"},
                                                         {"VI 99", "VI,I,V " + at(600)}};
  for (const auto& [stored, expected] : markers) {
    Util::setCookieToQIVDefaults("qiv_z_5_1", stored);
    banner::writeImpressionCookies({{"zbid", "5"}, {"icend", "10"}});
    EXPECT_EQ(Util::readDefault("qiv_z_5_1"), expected) << stored;
  }
}

}  // namespace
}  // namespace tavrino
