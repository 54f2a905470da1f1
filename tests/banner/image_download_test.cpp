// The image step: the shared cache, downloads that complete off the main
// thread, failures that still show the banner, and the blocking loads that
// refuse to block the main thread.

#include <atomic>
#include <chrono>
#include <future>

#include "banner/image_test.hpp"
#include "tavrino/banner/image_cache.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino {
namespace {

using namespace std::chrono_literals;

class ImageDownloadTest : public testing::ImageTest {};

TEST_F(ImageDownloadTest, EmptyUrlShowsTheBannerAtOnceWithoutImage) {
  auto banner = start("", {{"zbid", "3"}});
  // No round trip through the loop: the impression step ran inside the call.
  EXPECT_EQ(count("imageSet called."), 1u);
  EXPECT_TRUE(attached(*banner));
  EXPECT_TRUE(banner->activityImage.isEmpty());
  EXPECT_TRUE(service.requests("/img/").empty());
}

TEST_F(ImageDownloadTest, SecondBannerWithTheSameImageUsesTheCache) {
  const std::string url = image("a b.png");  // the key is the encoded URL
  auto first = present(url, {{"zbid", "1"}});
  ASSERT_FALSE(first->activityImage.isEmpty());
  EXPECT_EQ(first->activityImage.size().width, 1);
  EXPECT_TRUE(banner::ImageCache::shared().get(*banner::ImageCache::keyFor(url)));
  ASSERT_EQ(service.requests("/img/").size(), 1u);
  EXPECT_EQ(service.requests("/img/")[0].path, "/img/a b.png");

  auto second = start(url, {{"zbid", "2"}});
  EXPECT_EQ(count("imageSet called."), 2u) << "a cached image needs no round trip";
  EXPECT_EQ(second->activityImage, first->activityImage);
  EXPECT_EQ(service.requests("/img/").size(), 1u);
}

TEST_F(ImageDownloadTest, FailedDownloadsStillShowTheBannerWithoutImage) {
  struct Case {
    const char* name;
    std::optional<service::Behavior> behavior;
    std::string url;
  };
  const Case cases[] = {
      {"status 500", service::Behavior::failing(service::Failure::status500), image("500.png")},
      {"connection dropped", service::Behavior::failing(service::Failure::dropConnection),
       image("drop.png")},
      {"not an image", service::Behavior::answering(200, "<html>nope</html>", "text/html"),
       image("page.png")},
      {"404 with an image body",
       service::Behavior::answering(404, std::string(service::builtInImage()), "image/png"),
       image("gone.png")},
      // Never leaves the SDK: the transport refuses it, the banner still shows.
      {"not a URL", std::nullopt, "http://[::1/a.png"},
      {"not UTF-8", std::nullopt, "http://127.0.0.1/\xff.png"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.behavior) service.setBehavior(c.url.substr(baseUrl.size() - 1), *c.behavior);
    auto banner = present(c.url, {{"zbid", "4"}});
    EXPECT_TRUE(attached(*banner));
    EXPECT_TRUE(banner->activityImage.isEmpty());
    if (const auto key = banner::ImageCache::keyFor(c.url)) {
      EXPECT_FALSE(banner::ImageCache::shared().get(*key)) << "a failure is not cached";
    }
  }
}

TEST_F(ImageDownloadTest, SlowImageKeepsTheMainLoopRunning) {
  service.setBehavior("/img/slow.png", service::Behavior::delayed(1500ms));
  auto banner = start(image("slow.png"), {{"zbid", "5"}});
  // The loop keeps serving the host while the image is on its way.
  int served = 0;
  for (int i = 0; i < 20; ++i) dispatch().mainAsync([&] { ++served; });
  dispatch().runUntil([&] { return served == 20; }, 1s);
  EXPECT_EQ(served, 20);
  EXPECT_EQ(count("imageSet called."), 0u);
  ASSERT_TRUE(waitUntil([&] { return count("imageSet called.") == 1; }));
  EXPECT_FALSE(banner->activityImage.isEmpty());
  EXPECT_TRUE(attached(*banner));
}

TEST_F(ImageDownloadTest, ImageOfAPageViewThatEndedShowsNothing) {
  const std::int64_t page = processState().incrementExecCounter();
  service.setBehavior("/img/late.png", service::Behavior::delayed(300ms));
  auto banner = start(image("late.png"), {{"zbid", "6"}, {"zid", "2"}}, "img",
                      {{"_execcounter", std::to_string(page)}});
  processState().incrementExecCounter();  // the host moved on
  ASSERT_TRUE(waitUntil([&] { return log().contains("imageSet execcount did not match"); }));
  dispatch().runUntilIdle();
  EXPECT_FALSE(attached(*banner));
  EXPECT_EQ(Util::readDefault("qiv_i_2"), "");
  EXPECT_FALSE(log().contains("send request : " + baseUrl + "t?"));
  EXPECT_FALSE(log().contains("qiv_impression_6"));
}

TEST_F(ImageDownloadTest, BlockingLoadsWorkOffTheMainThreadOnly) {
  const std::string url = image("sync.png");
  EXPECT_TRUE(popUpController::getImageFromUrl(url).isEmpty());
  EXPECT_TRUE(log().contains("getImageFromUrl called on the main thread. nothing loaded."));
  EXPECT_EQ(popUpController::getSocialProofValue(baseUrl + "sproof/?t=1&i=1", "1", "1"), 0);
  EXPECT_TRUE(service.requests().empty()) << "the main thread never waits on the network";

  socialProof({{"", "5", "7", 12}});
  std::promise<std::pair<ui::Image, std::int64_t>> loaded;
  dispatch().globalAsync(platform::QualityOfService::utility, [&] {
    loaded.set_value(
        {popUpController::getImageFromUrl(url),
         popUpController::getSocialProofValue(baseUrl + "sproof/?s=x&t=5&i=7&e=g", "5", "7")});
  });
  const auto [image, count] = loaded.get_future().get();
  EXPECT_EQ(image.size().width, 1);
  EXPECT_EQ(count, 12);
  EXPECT_TRUE(popUpController::getImageFromUrl("not a url").isEmpty());
}

TEST_F(ImageDownloadTest, UnsharedControllerRefusesTheImageStep) {
  popUpController banner;
  banner.downloadImage("", host, "", {{"zbid", "1"}}, "img", {});
  EXPECT_TRUE(log().contains("downloadImage called. The banner controller is not shared."));
  EXPECT_EQ(count("imageSet called."), 0u);
}

}  // namespace
}  // namespace tavrino
