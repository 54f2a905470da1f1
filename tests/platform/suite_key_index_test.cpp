// The point-read index against a plain map under churn: inserts, erases that
// leave tombstones, rebuilds, keys of every length around the 8-byte steps.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>

#include "platform/suite_key_index.hpp"

namespace tavrino::platform {
namespace {

TEST(SuiteKeyIndex, AgreesWithAMapUnderChurn) {
  std::mt19937 random(7);
  // Owns the keys and values the index points into; nodes never move.
  std::map<std::string, Value> entries;
  SuiteKeyIndex index;
  EXPECT_EQ(index.find("absent"), nullptr);
  index.erase("absent");  // on an empty index

  const auto keyFor = [](unsigned n) {
    // Lengths 0 to 24 with shared prefixes, as cookie names have.
    std::string key = "qiv_c_" + std::to_string(n);
    return key.substr(0, n % 25);
  };
  for (int step = 0; step < 20000; ++step) {
    const std::string key = keyFor(random() % 3000);
    auto it = entries.find(key);
    if (random() % 3 == 0) {
      if (it != entries.end()) {
        index.erase(it->first);
        entries.erase(it);
      }
    } else if (it == entries.end()) {
      auto [inserted, ok] = entries.emplace(key, step);
      index.insert(inserted->first, &inserted->second);
    }
    ASSERT_EQ(index.size(), entries.size());
  }
  for (unsigned n = 0; n < 3000; ++n) {
    const std::string key = keyFor(n);
    auto it = entries.find(key);
    // Looked up through a different buffer than the stored key's.
    EXPECT_EQ(index.find(std::string(key)), it == entries.end() ? nullptr : &it->second) << key;
  }
  index.clear();
  EXPECT_EQ(index.find(entries.empty() ? "" : entries.begin()->first), nullptr);
}

TEST(SuiteKeyIndex, KeysDifferingOnlyInTheirLastOrMiddleBytesStayApartAndSpread) {
  std::map<std::string, Value> entries;
  SuiteKeyIndex index;
  for (const std::string& key :
       {std::string(""), std::string(1, '\0'), std::string(2, '\0'), std::string(8, 'a'),
        std::string(9, 'a'), std::string(16, 'a'), std::string(17, 'a'),
        std::string("aaaaaaaabaaaaaaa"), std::string("aaaaaaaaaaaaaaab")}) {
    auto [it, ok] = entries.emplace(key, key.size());
    index.insert(it->first, &it->second);
  }
  for (const auto& [key, value] : entries) EXPECT_EQ(index.find(key), &value);
  EXPECT_EQ(index.find(std::string(3, '\0')), nullptr);
  EXPECT_EQ(index.find(std::string(10, 'a')), nullptr);

  // Cookie names differ in their last digits only; the probe sequences must
  // still stay short, or every read walks the whole table.
  for (int i = 0; i < 1000; ++i) {
    auto [it, ok] = entries.emplace("qiv_c_campaign_" + std::to_string(10000 + i), i);
    index.insert(it->first, &it->second);
  }
  EXPECT_LT(index.longestProbe(), 24u);
}

}  // namespace
}  // namespace tavrino::platform
