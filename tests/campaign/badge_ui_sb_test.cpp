// ui_sb: the image a campaign shows ("bdgai" takes it from "sub", the https
// prefix) and its start delay on the main loop's clock.

#include <chrono>

#include "banner/image_test.hpp"
#include "tavrino/campaign/ui_sb.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;

class UiSbTest : public testing::ImageTest {
 protected:
  void show(const Value& params, const StringMap& client_map = {}) {
    ui_sb().setParameters(params, host, "https://shop.example/home", client_map);
  }
};

TEST_F(UiSbTest, ImageUrlFromTheCampaign) {
  // Port 9 on loopback refuses at once: nothing leaves the machine.
  const std::string subText = R"([{"p": "127.0.0.1:9/a.png"}, {"p": "127.0.0.1:9/b.png"}])";
  struct Case {
    Value params;
    std::string url;
  };
  const Case cases[] = {
      // "bdgai" takes the last "sub" entry, over "img"; no "http" gets "https:".
      {{{"bsc", "bdgai"}, {"img", "http://127.0.0.1:9/i.png"}, {"sub", subText}},
       "https:127.0.0.1:9/b.png"},
      {{{"bsc", "img"}, {"img", "//127.0.0.1:9/c.png"}}, "https://127.0.0.1:9/c.png"},
      {{{"bsc", "img"}, {"img", "http://127.0.0.1:9/d.png"}}, "http://127.0.0.1:9/d.png"},
      {{{"bsc", "img"}, {"img", 42}}, ""},
      {{{"bsc", "bdgai"}, {"sub", "[]"}}, ""},
      {{{"bsc", "bdgai"}, {"sub", "not json"}}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.params.dump());
    log().clear();
    show(c.params);
    const std::string expected = "downloadImage url : " + c.url;
    const auto lines = log().lines();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) {
                              return line.size() >= expected.size() &&
                                     line.compare(line.size() - expected.size(), expected.size(),
                                                  expected) == 0;
                            }))
        << "downloads " << c.url;
  }

  // Over the wire: only the last entry is fetched.
  const Value params = {
      {"bsc", "bdgai"},
      {"bc", "badge"},
      {"zbid", "7"},
      {"sub", Value::array({{{"p", image("a.png")}}, {{"p", image("b.png")}}}).dump()}};
  show(params);
  ASSERT_TRUE(waitUntil([&] { return banner::BadgeDefinitions::shared().get("7").has_value(); }));
  ASSERT_EQ(service.requests("/img/").size(), 1u);
  EXPECT_EQ(service.requests("/img/")[0].path, "/img/b.png");
}

TEST_F(UiSbTest, StartDelayRunsOnTheMainLoopClock) {
  show({{"bsc", "img"}, {"zbid", "3"}, {"stde", "3"}});
  EXPECT_FALSE(log().contains("downloadImage called."));
  dispatch().runFor(2999ms);
  EXPECT_FALSE(log().contains("downloadImage called."));
  dispatch().runFor(1ms);
  EXPECT_TRUE(log().contains("downloadImage called."));
  EXPECT_EQ(count("imageSet called."), 1u);

  show({{"bsc", "img"}, {"zbid", "4"}, {"stde", "0"}});
  EXPECT_EQ(count("imageSet called."), 2u) << "no delay: at once";
}

TEST_F(UiSbTest, UnreadableStartDelayShowsAtOnce) {
  for (const char* stde : {"abc", "1.5", "-2", "99999999999999999999"}) {
    log().clear();
    show({{"bsc", "img"}, {"zbid", "5"}, {"stde", stde}});
    EXPECT_TRUE(log().contains("ui_sb start delay is not a whole number : " + std::string(stde)))
        << stde;
    EXPECT_TRUE(log().contains("imageSet called.")) << stde;
  }
  // A delay beyond a day waits a day.
  log().clear();
  show({{"bsc", "img"}, {"zbid", "6"}, {"stde", "9000000000000"}});
  dispatch().runFor(std::chrono::hours(24) - 1s);
  EXPECT_FALSE(log().contains("imageSet called."));
  dispatch().runFor(1s);
  EXPECT_TRUE(log().contains("imageSet called."));
}

TEST_F(UiSbTest, CampaignWithoutATextStyleShowsNothing) {
  for (const Value& params : {Value{{"zbid", "1"}}, Value{{"bsc", 3}}, Value{{"bsc", nullptr}}}) {
    show(params);
  }
  EXPECT_EQ(count("ui_sb setParameters bsc is not a text.return."), 3u);
  EXPECT_FALSE(log().contains("downloadImage called."));
}

}  // namespace
}  // namespace tavrino
