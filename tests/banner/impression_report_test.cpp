// The impression step: the report's pairs, the inline-frame rule, the host
// functions and callbacks it runs, and the impression event after the
// banner.

#include <set>

#include "banner/image_test.hpp"
#include "banner/pop_up_impression.hpp"
#include "campaign/engine_test.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino {
namespace {

using runtime::Registry;

class ImpressionReportTest : public testing::ImageTest {
 protected:
  std::size_t reportsSent() { return count("send request : " + baseUrl + "t?"); }
};

TEST_F(ImpressionReportTest, ReportCarriesTheCampaignAndThePage) {
  const Value params = {{"zbid", "9"},       {"di", "d1"},       {"at", "a1"},
                        {"spid", "3"},       {"bvw", "1"},       {"cws", "0"},
                        {"vqivcmmtyp", "2"}, {"vqivcmmid", "0"}, {"vqvcmmdelay", "15"},
                        {"iqivcmmtyp", "7"}};
  present("", params, "img", {{"page", "home"}, {"_execcounter", "0"}});
  const auto report = testing::awaitRequestWith(dispatch(), service, "/t", "zbid", "9");
  testing::expectQuery(report,
                       "a=v&di=d1&at=a1&spid=3&qivcfrom=bulkview&qivcmmtyp=2&qivcmmdelay=15&"
                       "page=home");
  EXPECT_FALSE(report.queryValue("qivcmmid")) << "an id of 0 is not sent";
  EXPECT_FALSE(report.queryValue("_execcounter"));
  const int r = std::stoi(report.queryValue("r").value_or("0"));
  EXPECT_TRUE(r >= 1 && r <= 100) << r;

  // The impression event follows the banner.
  const auto lines = log().lines();
  const auto banner = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("create banner called.") != std::string::npos;
  });
  const auto event = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.find("create custom event called. event name : qiv_impression_9") != std::string::npos;
  });
  ASSERT_NE(event, lines.end());
  EXPECT_LT(banner, event);
}

TEST_F(ImpressionReportTest, ReportPairsFollowTheCampaign) {
  struct Case {
    Value params;
    StringMap expected;  // pairs beyond "di", "at", "zbid", "r"
  };
  const Case cases[] = {
      // "cws" 1 reads the "i" keys; a type of 0 is left out, the delay rides with the id.
      {{{"cws", "1"}, {"iqivcmmtyp", "0"}, {"iqivcmmid", "4"}, {"iqvcmmdelay", "30"}},
       {{"a", "w"}, {"qivcmmid", "4"}, {"qivcmmdelay", "30"}}},
      {{{"cws", "1"}, {"iqivcmmtyp", "0"}, {"iqvcmmdelay", "30"}}, {{"a", "w"}}},
      {{{"vqivcmmtyp", "1.5"}, {"vqivcmmid", "-2"}, {"vqvcmmdelay", "9"}}, {{"a", "v"}}},
      {{{"vqivcmmtyp", "3"}}, {{"a", "v"}, {"qivcmmtyp", "3"}, {"qivcmmdelay", "0"}}},
      // Another "cws" names no kind and no communication.
      {{{"cws", "2"}, {"iqivcmmtyp", "3"}, {"vqivcmmtyp", "3"}}, {}},
      // Bulk views: a number other than 0, or a text that is no number.
      {{{"bvw", "0.0"}}, {{"a", "v"}}},
      {{{"bvw", "2"}}, {{"a", "v"}, {"qivcfrom", "bulkview"}}},
      {{{"bvw", "yes"}}, {{"a", "v"}, {"qivcfrom", "bulkview"}}},
      {{{"spid", "0"}, {"bvw", ""}}, {{"a", "v"}}},
      {{{"spid", "12"}}, {{"a", "v"}, {"spid", "12"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params.dump());
    StringMap report = banner::impressionReport(c.params);
    EXPECT_EQ(report["zbid"], "0");
    EXPECT_EQ(report["di"], "");
    for (const char* fixed : {"di", "at", "zbid", "r"}) report.erase(fixed);
    EXPECT_EQ(report, c.expected);
  }
  std::set<std::string> draws;
  for (int i = 0; i < 500; ++i) {
    const int r = std::stoi(banner::impressionReport({})["r"]);
    ASSERT_TRUE(r >= 1 && r <= 100) << r;
    draws.insert(std::to_string(r));
  }
  EXPECT_GT(draws.size(), 50u) << "r is drawn, not fixed";
}

TEST_F(ImpressionReportTest, InlineBannerReportsOnlyForTheFrameItNames) {
  host->view()->setRestorationIdentifier("frame1");
  struct Case {
    const char* slc;
    std::string_view function;
    bool reports;
  };
  const Case cases[] = {{"frame1", "aich", true},
                        {"frame2", "aich", false},
                        {"", "aich", false},
                        {"qivdyn@frame9", "aich", true},
                        {"frame2", "img", true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.slc) + " " + std::string(c.function));
    const std::size_t before = reportsSent();
    present("", {{"zbid", "8"}, {"slc", c.slc}}, c.function);
    EXPECT_EQ(reportsSent() - before, c.reports ? 1u : 0u);
  }
}

// A host screen whose registered methods record what reached them.
class HomeScreen : public ui::ViewController {
 public:
  HomeScreen() : ViewController("HomeViewController") {}
  static std::vector<std::string>& calls() {
    static std::vector<std::string> recorded;
    return recorded;
  }
};

TEST_F(ImpressionReportTest, HostFunctionsAndCallbacksRunBeforeTheBanner) {
  auto& registry = Registry::shared();
  registry.resetForTesting();
  HomeScreen::calls().clear();
  registry.registerClass("HomeViewController", [] { return std::make_shared<HomeScreen>(); });
  for (const char* method : {"impressed", "clicked", "shown", "viewed", "viewedToo"}) {
    registry.registerMethod<HomeScreen>(
        "HomeViewController", method, [method](HomeScreen&, const Value& argument) {
          HomeScreen::calls().push_back(std::string(method) + ":" +
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
  const Value run = {{"run_function", "shown"},
                     {"run_parameter", "p1"},
                     {"functions",
                      {{{"type", "I"}, {"name", "impressed"}, {"class", ""}},
                       {{"type", "C"}, {"name", "clicked"}, {"class", ""}}}}};
  auto banner = present("", {{"zbid", "3"}, {"run", run}});

  const std::vector<std::string> expected = {
      "impressed:-:-",  // the "I" functions see the campaign as it came
      "shown:https://shop.example/home:p1",
      "viewed:https://shop.example/home:p1",
      "viewedToo:https://shop.example/home:p1",
  };
  EXPECT_EQ(HomeScreen::calls(), expected);
  EXPECT_EQ(banner->sender_customArray["qivlink"], "https://shop.example/home");
  EXPECT_TRUE(attached(*banner));
  registry.resetForTesting();
}

}  // namespace
}  // namespace tavrino
