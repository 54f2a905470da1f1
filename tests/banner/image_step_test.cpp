// The image step: the shared cache, failures that still show the banner,
// the social-proof count and where it lands, a slow host that must not hold
// up the main loop, the blocking loads that refuse the main thread, and the
// page-view guard.

#include <chrono>

#include "banner/controller_test.hpp"
#include "tavrino/banner/image_cache.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;
using service::Behavior;
using service::Failure;

// A banner asking for the count of campaign 5, item 7.
Value counted(const Value& texts) {
  Value params = {{"zbid", "11"}, {"_spid", "5"}, {"_spidf", "pid"}, {"_spiid", "7"}};
  params.update(texts);
  return params;
}

class ImageStepTest : public testing::ImageTest {};

TEST_F(ImageStepTest, SecondBannerWithTheSameImageUsesTheCache) {
  const std::string url = image("a b.png");  // cached under the encoded URL
  auto first = present(url, {{"zbid", "1"}});
  EXPECT_EQ(first->activityImage.size(), (ui::Size{1, 1}));
  auto second = present(url, {{"zbid", "2"}}, {}, false);
  EXPECT_EQ(second->activityImage, first->activityImage) << "no round trip for a cached image";
  ASSERT_EQ(service.requests("/img/").size(), 1u);
  EXPECT_EQ(service.requests("/img/")[0].path, "/img/a b.png");
}

// The last two are refused before anything is sent.
TEST_F(ImageStepTest, FailedDownloadsStillShowTheBannerWithoutImage) {
  const std::pair<std::optional<Behavior>, std::string> cases[] = {
      {Behavior::failing(Failure::status500), image("500.png")},
      {Behavior::failing(Failure::dropConnection), image("drop.png")},
      {Behavior::answering(200, "<html></html>", "text/html"), image("page.png")},
      {Behavior::answering(404, std::string(service::builtInImage()), "image/png"),
       image("gone.png")},
      {std::nullopt, "http://[::1/a.png"},
      {std::nullopt, "http://127.0.0.1/\xff.png"}};
  for (const auto& [behavior, url] : cases) {
    if (behavior) service.setBehavior(url.substr(baseUrl.size() - 1), *behavior);
    auto banner = present(url, {{"zbid", "4"}});
    EXPECT_TRUE(attached(*banner) && banner->activityImage.isEmpty()) << url;
    const auto key = banner::ImageCache::keyFor(url);
    EXPECT_FALSE(key && banner::ImageCache::shared().get(*key)) << "not cached: " << url;
  }
}

// The count fills every placeholder before the image is fetched; nested
// values are filled in place, the map stays a map; the client value stays
// one value.
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
}

TEST_F(ImageStepTest, CountIsFetchedOnlyWhenAskedForAndFailuresCountZero) {
  socialProof({{"", "5", "7", 42}});
  const std::pair<Value, StringMap> unasked[] = {
      {counted({{"cap", "$$total$$"}, {"_spid", "0"}}), {{"pid", "x"}}},
      {counted({{"cap", "$$total$$"}, {"_spid", "5.5"}}), {{"pid", "x"}}},
      {counted({{"cap", "$$total$$"}}), {{"other", "x"}}}};
  for (const auto& [params, client] : unasked) {
    EXPECT_EQ(present("", params, client)->sender_customArray["cap"], "$$total$$");
  }
  EXPECT_TRUE(service.requests("/sproof").empty());
  for (const auto failure : {Failure::status500, Failure::dropConnection, Failure::garbage}) {
    service.setBehavior("/sproof/", Behavior::failing(failure));
    auto banner = present("", counted({{"cap", "$$total$$"}}), {{"pid", "x"}});
    EXPECT_EQ(banner->sender_customArray["cap"], "0");
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
  EXPECT_TRUE(service.requests("/img/").empty()) << "the image waits for the count";
  EXPECT_EQ(count("imageSet called."), 0u);
  ASSERT_TRUE(waitUntil([&] { return count("imageSet called.") == 1; }));
  EXPECT_EQ(banner->sender_customArray["cap"], "8");
  EXPECT_FALSE(banner->activityImage.isEmpty());
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
  EXPECT_FALSE(attached(*banner));
  EXPECT_EQ(Util::readDefault("qiv_i_2"), "");
  EXPECT_FALSE(log().contains("send request : " + baseUrl + "t?") ||
               log().contains("qiv_impression_6"));
}

}  // namespace
}  // namespace tavrino
