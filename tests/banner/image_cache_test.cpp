#include "tavrino/banner/image_cache.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tavrino::banner {
namespace {

// A 10x10 image costs 400 bytes decoded plus its source bytes.
ui::Image imageOf(std::size_t sourceBytes) {
  return ui::Image(10, 10, Data(sourceBytes, 7));
}

// The keys held, in the order given, and the bytes accounted.
std::pair<std::string, std::size_t> held(ImageCache& cache, std::vector<std::string> keys) {
  std::string present;
  for (const auto& key : keys) present += cache.get(key) ? key : "-";
  return {present, cache.costInBytes()};
}

TEST(ImageCacheTest, EvictsTheLeastRecentlyUsedBytesFirst) {
  ImageCache cache(3 * 500);
  EXPECT_EQ(ImageCache::costOf(imageOf(100)), 500u);
  for (const char* key : {"a", "b", "c"}) cache.set(key, imageOf(100));
  ASSERT_TRUE(cache.get("a"));  // a is now the most recently used; b the least
  cache.set("d", imageOf(100));
  EXPECT_EQ(held(cache, {"b", "a", "c", "d"}), (std::pair<std::string, std::size_t>("-acd", 1500)));
  // One large image (1000 bytes) pushes out as many old ones as its size
  // needs: only the most recent other entry stays.
  cache.set("big", imageOf(600));
  EXPECT_EQ(cache.count(), 2u);
  EXPECT_EQ(held(cache, {"d", "big"}), (std::pair<std::string, std::size_t>("dbig", 1500)));
}

TEST(ImageCacheTest, ReplacingAndRefusingKeepTheAccountRight) {
  ImageCache cache(1000);
  cache.set("a", imageOf(100));
  cache.set("a", imageOf(200));  // replaces: counted once
  EXPECT_EQ(std::pair(cache.count(), cache.get("a")->data().size()),
            (std::pair<size_t, size_t>(1, 200)));
  EXPECT_EQ(cache.costInBytes(), 600u);
  // Beyond the whole budget: not kept, and the stale image under the key goes.
  cache.set("a", imageOf(700));
  EXPECT_EQ(held(cache, {"a"}), (std::pair<std::string, std::size_t>("-", 0)));
  cache.set("empty", ui::Image());
  cache.set("flat", ui::Image(10, 0, Data(5)));
  EXPECT_EQ(cache.count(), 0u);
  cache.set("b", imageOf(100));
  cache.clear();
  EXPECT_EQ(held(cache, {"b"}), (std::pair<std::string, std::size_t>("-", 0)));
}

TEST(ImageCacheTest, KeysArePercentEncodedUrls) {
  EXPECT_EQ(ImageCache::keyFor("https://x.test/a b.png?q=\xc3\xbc&z=1"),
            "https://x.test/a%20b.png?q=%C3%BC&z=1");
  EXPECT_EQ(ImageCache::keyFor("https://x.test/%7E"), "https://x.test/%257E");
  EXPECT_EQ(ImageCache::keyFor(""), "");
  EXPECT_FALSE(ImageCache::keyFor("https://x.test/\xff.png"));
}

// Downloads finish on transport threads while the main loop reads.
TEST(ImageCacheTest, ConcurrentUseStaysWithinTheBudget) {
  ImageCache cache(10 * 500);
  std::atomic<bool> overBudget{false};
  std::atomic<int> wrongImages{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        const std::string key = std::to_string((i * 7 + t) % 25);
        // Each key always holds images of its own size, so a read can tell.
        const std::size_t source = 100 + std::stoul(key);
        if (i % 3 == 0) {
          cache.set(key, imageOf(source));
        } else if (auto image = cache.get(key); image && image->data().size() != source) {
          ++wrongImages;
        }
        if (cache.costInBytes() > cache.budget()) overBudget = true;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_FALSE(overBudget);
  EXPECT_EQ(wrongImages, 0);
  EXPECT_TRUE(cache.count() > 0u && cache.count() <= 10u);
}

}  // namespace
}  // namespace tavrino::banner
