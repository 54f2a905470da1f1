// The shared image cache: its budget, order and keys. The image step: the
// cache in use, failures that still show the banner, the social-proof count and where it lands, a
// slow host that must not hold up the main loop, the blocking loads that refuse the main thread,
// and the page-view guard. The impression step: the report's pairs, the inline-frame rule, the host
// functions and callbacks, and the cookies and unique marker it leaves.

#include <array>
#include <chrono>

#include "banner/controller_test.hpp"
#include "banner/pop_up_impression.hpp"
#include "tavrino/banner/image_cache.hpp"
#include "tavrino/banner/social_proof.hpp"
#include "tavrino/runtime/registry.hpp"
#include "tavrino/util/json_helpers.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using banner::ImageCache;
using service::Behavior;
using service::Failure;

// A banner asking for the count of campaign 5, item 7.
Value counted(const Value& texts) {
  Value params = {{"zbid", "11"}, {"_spid", "5"}, {"_spidf", "pid"}, {"_spiid", "7"}};
  params.update(texts);
  return params;
}

// Banners through their image step: social-proof counts and images served
// by the reference service.
class ImageStepTest : public testing::ControllerTest {
 protected:
  void SetUp() override {
    ControllerTest::SetUp();
    ASSERT_TRUE(banner::setSocialProofOrigin(baseUrl));
  }
  void TearDown() override {
    banner::setSocialProofOrigin(banner::kDefaultSocialProofOrigin);
    ControllerTest::TearDown();
  }

  // Starts the image step of a new banner; with wait, pumps the loop until
  // its impression step ran.
  std::shared_ptr<popUpController> present(const std::string& url, const Value& params,
                                           const StringMap& client_map = {}, bool wait = true) {
    const std::size_t before = count("imageSet called.");
    auto banner = std::make_shared<popUpController>();
    banner->downloadImage(url, host, "https://shop.example/home", params, "img", client_map);
    EXPECT_TRUE(!wait || waitUntil([&] { return count("imageSet called.") > before; }));
    return banner;
  }
  void socialProof(std::vector<service::SocialProofCount> counts) {
    service::Scenario scenario;
    scenario.socialProof = std::move(counts);
    service.setScenario(std::move(scenario));
  }
  std::string image(std::string_view name) { return baseUrl + "img/" + std::string(name); }
};

// The second banner with an image finds it cached under the encoded URL;
// failed downloads are not cached and still show the banner, without image
// (the last two are refused before anything is sent).
TEST_F(ImageStepTest, ImagesAreCachedAndFailedDownloadsStillShowTheBanner) {
  const std::string url = image("a b.png");
  auto first = present(url, {{"zbid", "1"}});
  EXPECT_EQ(first->activityImage.size(), (ui::Size{1, 1}));
  EXPECT_EQ(present(url, {{"zbid", "2"}}, {}, false)->activityImage, first->activityImage);
  ASSERT_EQ(service.requests("/img/").size(), 1u);
  EXPECT_EQ(service.requests("/img/")[0].path, "/img/a b.png");

  const std::pair<std::optional<Behavior>, std::string> cases[] = {
      {Behavior::failing(Failure::dropConnection), image("drop.png")},
      {Behavior::answering(200, "<html></html>", "text/html"), image("page.png")},
      {Behavior::answering(404, std::string(service::builtInImage()), "image/png"),
       image("gone.png")},
      {std::nullopt, "http://[::1/a.png"},
      {std::nullopt, "http://127.0.0.1/\xff.png"}};
  for (const auto& [behavior, url] : cases) {
    if (behavior) service.setBehavior(url.substr(baseUrl.size() - 1), *behavior);
    auto banner = present(url, {{"zbid", "4"}});
    const auto key = ImageCache::keyFor(url);
    EXPECT_TRUE(attached(*banner) && banner->activityImage.isEmpty() &&
                !(key && ImageCache::shared().get(*key)))
        << url;
  }
}

// The count fills every placeholder before the image is fetched; nested
// values are filled in place, the map stays a map; the client value stays
// one value. Only asked for does it go out; failures count zero.
TEST_F(ImageStepTest, CountFillsEveryPlaceholderBeforeTheImage) {
  socialProof({{"", "5", "7", 42}});
  const Value run = {{"run_parameter", "n=$$total$$"}, {"list", {1, "$$total$$"}}};
  auto banner = present(image("p.png"), counted({{"cap", "$$TOTAL$$ look"}, {"run", run}}),
                        {{"pid", "a b&t=9"}});
  const auto requests = service.requests();
  ASSERT_GE(requests.size(), 2u);
  EXPECT_EQ(std::tuple(requests[0].path, requests[0].queryValue("s"), requests[0].queryValues("t"),
                       requests[0].queryValue("i"), requests[1].path),
            std::tuple("/sproof/", "a b&t=9", std::vector<std::string>{"5"}, "7", "/img/p.png"));
  EXPECT_EQ((Value{banner->sender_customArray["cap"], banner->sender_customArray["run"]}),
            Value::parse(R"(["42 look", {"run_parameter": "n=42", "list": [1, "42"]}])"));

  const std::pair<Value, StringMap> unasked[] = {
      {counted({{"cap", "$$total$$"}, {"_spid", "0"}}), {{"pid", "x"}}},
      {counted({{"cap", "$$total$$"}}), {{"other", "x"}}}};
  for (const auto& [params, client] : unasked) {
    EXPECT_EQ(present("", params, client)->sender_customArray["cap"], "$$total$$");
  }
  EXPECT_EQ(service.requests("/sproof").size(), 1u);
  for (const auto failure : {Failure::status500, Failure::dropConnection, Failure::garbage}) {
    service.setBehavior("/sproof/", Behavior::failing(failure));
    EXPECT_EQ(
        present("", counted({{"cap", "$$total$$"}}), {{"pid", "x"}})->sender_customArray["cap"],
        "0");
  }
  // The first element that carries a whole count wins.
  const std::string answer = R"([1, {"7": {"5": "4"}}, {"7": {"5": 4.5}}, {"7": {"5": 6.0}},
                                 {"7": {"5": 9}}])";
  EXPECT_EQ(banner::socialProofCount(Data(answer.begin(), answer.end()), "5", "7"), 6);
}

TEST_F(ImageStepTest, SlowSocialProofHostDoesNotBlockTheMainLoop) {
  socialProof({{"", "5", "7", 8}});
  service.setBehavior("/sproof/", Behavior::delayed(1500ms));
  auto banner = present(image("slow.png"), counted({{"cap", "$$total$$"}}), {{"pid", "x"}}, false);
  int served = 0;
  for (int i = 0; i < 20; ++i) dispatch().mainAsync([&] { ++served; });
  dispatch().runUntil([&] { return served == 20; }, 1s);
  EXPECT_EQ(served, 20) << "the loop served the host while the count was awaited";
  EXPECT_TRUE(service.requests("/img/").empty() && count("imageSet called.") == 0);
  ASSERT_TRUE(waitUntil([&] { return count("imageSet called.") == 1; }));
  EXPECT_TRUE(banner->sender_customArray["cap"] == "8" && !banner->activityImage.isEmpty());
}

TEST_F(ImageStepTest, BlockingLoadsAndOriginsThatCannotBeTrusted) {
  EXPECT_TRUE(popUpController::getImageFromUrl(image("sync.png")).isEmpty());
  EXPECT_EQ(popUpController::getSocialProofValue(baseUrl + "sproof/?t=5&i=7", "5", "7"), 0);
  EXPECT_TRUE(log().contains("getImageFromUrl called on the main thread. nothing loaded."));
  EXPECT_TRUE(service.requests().empty()) << "the main thread never waits on the network";
  for (const char* refused : {"ftp://proof.example", "https://proof.example/path",
                              "https://user@proof.example", "https://proof.example\r\nX: y"}) {
    EXPECT_FALSE(banner::setSocialProofOrigin(refused)) << refused;
  }
  EXPECT_EQ(banner::socialProofUrl("a", "5", "7"), baseUrl + "sproof/?s=a&t=5&i=7&e=g");
}

TEST_F(ImageStepTest, ImageOfAPageViewThatEndedShowsNothing) {
  const std::int64_t page = processState().incrementExecCounter();
  service.setBehavior("/img/late.png", Behavior::delayed(300ms));
  auto banner = present(image("late.png"), {{"zbid", "6"}, {"zid", "2"}},
                        {{"_execcounter", std::to_string(page)}}, false);
  processState().incrementExecCounter();  // the host moved on
  ASSERT_TRUE(waitUntil([&] { return log().contains("imageSet execcount did not match"); }));
  EXPECT_FALSE(attached(*banner) || log().contains("send request : " + baseUrl + "t?") ||
               log().contains("qiv_impression_6") || !Util::readDefault("qiv_i_2").empty());
}

using testing::kTestEpoch;
constexpr std::int64_t kDay = 86400;

using ImpressionStepTest = ImageStepTest;

TEST_F(ImpressionStepTest, ReportPairsFollowTheCampaign) {
  const std::pair<Value, StringMap> cases[] = {
      // "cws" 1 reads the "i" keys; a type of 0 stays out, the delay rides with the id.
      {{{"cws", "1"}, {"iqivcmmtyp", "0"}, {"iqivcmmid", "4"}, {"iqvcmmdelay", "30"}},
       {{"a", "w"}, {"qivcmmid", "4"}, {"qivcmmdelay", "30"}}},
      // Bulk views: a number other than 0, or a text that is no number.
      {{{"vqivcmmtyp", "1.5"}, {"vqivcmmid", "-2"}, {"bvw", "0.0"}}, {{"a", "v"}}},
      {{{"vqivcmmtyp", "3"}, {"spid", "12"}},
       {{"a", "v"}, {"qivcmmtyp", "3"}, {"qivcmmdelay", "0"}, {"spid", "12"}}},
      {{{"cws", "2"}, {"iqivcmmtyp", "3"}, {"spid", "0"}, {"bvw", "yes"}},
       {{"qivcfrom", "bulkview"}}}};
  for (const auto& [params, expected] : cases) {
    StringMap report = banner::impressionReport(params);
    for (const char* fixed : {"di", "at", "zbid", "r"}) EXPECT_EQ(report.erase(fixed), 1u);
    EXPECT_EQ(report, expected) << params.dump();
  }

  // An inline banner reports only for the frame it names.
  host->view()->setRestorationIdentifier("frame1");
  const std::pair<const char*, bool> frames[] = {
      {"frame1", true}, {"frame2", false}, {"qivdyn@frame9", true}};
  for (const auto& [slc, reports] : frames) {
    const std::size_t before = count("send request : " + baseUrl + "t?");
    std::make_shared<popUpController>()->imageSet(host, {}, "", {{"slc", slc}}, "aich", {});
    EXPECT_EQ(count("send request : " + baseUrl + "t?") - before, reports ? 1u : 0u) << slc;
  }
}

// The "I" functions see the campaign as it came; the others get the link.
TEST_F(ImpressionStepTest, HostFunctionsAndCallbacksRunBeforeTheBanner) {
  auto& registry = runtime::Registry::shared();
  registry.resetForTesting();
  std::vector<std::string> calls;
  registry.registerClass("HomeViewController",
                         [] { return std::make_shared<ui::ViewController>("HomeViewController"); });
  for (const char* method : {"impressed", "clicked", "shown", "viewed", "viewedToo"}) {
    registry.registerMethod<ui::ViewController>(
        "HomeViewController", method, [&calls, method](ui::ViewController&, const Value& argument) {
          calls.push_back(std::string(method) + ":" + Util::tryCatch(argument, "qivlink", "-") +
                          ":" + Util::tryCatch(argument, "run_parameter", "-"));
        });
  }
  processState().withConfig([](SharedConfiguration& c) {
    c.runv = "viewed";
    c.runi = "viewedToo";
  });
  const auto run = Value::parse(R"({"run_function": "shown", "run_parameter": "p1", "functions":
      [{"type": "I", "name": "impressed", "class": ""}, {"type": "C", "name": "clicked", "class": ""}]})");
  EXPECT_TRUE(attached(*present("", {{"zbid", "3"}, {"run", run}})));
  const std::string link = "https://shop.example/home:p1";
  EXPECT_EQ(calls, (std::vector<std::string>{"impressed:-:-", "shown:" + link, "viewed:" + link,
                                             "viewedToo:" + link}));
  registry.resetForTesting();
}

TEST_F(ImpressionStepTest, CookieEndsFollowTheLifetimesInMinutes) {
  // The show, repeat and impression ends, in seconds from now (the defaults
  // are in the next test); "icend" 0 or no number: "cend" and a day, like
  // the show cookie; an end beyond 64 bits is the last instant.
  const std::pair<Value, std::vector<std::int64_t>> cases[] = {
      {{{"ccend", "10"}, {"rcend", "5"}, {"icend", "1.5"}}, {600, 300, 90}},
      {{{"icend", "0"}, {"cend", "60"}}, {3600 + kDay, 3600 + kDay, 3600 + kDay}},
      {{{"icend", "-5"}, {"ccend", "soon"}, {"rcend", "1e300"}, {"cend", "y"}},
       {2 * kDay, INT64_MAX, 2 * kDay}}};
  for (const auto& [params, seconds] : cases) {
    const auto ends = banner::impressionEnds(params, 0);
    EXPECT_EQ((std::vector{ends.show, ends.repeat, ends.impression}), seconds) << params;
  }
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
  const std::pair<const char*, std::string> markers[] = {
      {"VI 99", "VI,I,V " + at(600)}, {"V 99", "V 99"}, {"AC3,I 99", "AC3,I 99"}};
  for (const auto& [stored, expected] : markers) {
    Util::setCookieToQIVDefaults("qiv_z_5_1", stored);
    banner::writeImpressionCookies({{"zbid", "5"}, {"icend", "10"}});
    EXPECT_EQ(Util::readDefault("qiv_z_5_1"), expected) << stored;
  }
}

// A 10x10 image costs 400 bytes decoded plus its source bytes.
ui::Image imageOf(std::size_t sourceBytes) {
  return ui::Image(10, 10, Data(sourceBytes, 7));
}

// The keys held, in the order given, and the bytes accounted.
std::string held(ImageCache& cache, std::vector<std::string> keys) {
  std::string present;
  for (const auto& key : keys) present += cache.get(key) ? key : "-";
  return present + " " + std::to_string(cache.costInBytes());
}

TEST(ImageCacheTest, EvictsTheLeastRecentlyUsedBytesFirst) {
  ImageCache cache(3 * 500);
  EXPECT_EQ(ImageCache::costOf(imageOf(100)), 500u);
  for (const char* key : {"a", "b", "c"}) cache.set(key, imageOf(100));
  ASSERT_TRUE(cache.get("a"));  // a is now the most recently used; b the least
  cache.set("d", imageOf(100));
  EXPECT_EQ(held(cache, {"b", "a", "c", "d"}), "-acd 1500");
  // One large image (1000 bytes) pushes out as many old ones as its size
  // needs: only the most recent other entry stays.
  cache.set("big", imageOf(600));
  EXPECT_EQ(std::pair(cache.count(), held(cache, {"d", "big"})), std::pair(2ul, "dbig 1500"s));

  // A replaced image is counted once; one beyond the whole budget is not
  // kept, and the stale image under its key goes; empty images are not kept.
  cache.clear();
  EXPECT_EQ(held(cache, {"d", "big"}), "-- 0");
  cache.set("a", imageOf(100));
  cache.set("a", imageOf(200));
  EXPECT_EQ(std::tuple(cache.count(), cache.get("a")->data().size(), cache.costInBytes()),
            std::tuple(1ul, 200ul, 600ul));
  cache.set("a", imageOf(1200));
  cache.set("empty", ui::Image());
  EXPECT_EQ(std::pair(cache.count(), held(cache, {"a"})), std::pair(0ul, "- 0"s));
}

}  // namespace
}  // namespace tavrino
