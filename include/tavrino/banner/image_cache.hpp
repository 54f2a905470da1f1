#pragma once

// The process-wide cache of banner images, keyed by the image URL after
// percent-encoding (ImageCache::keyFor), consulted before every download.
//
// It stands in for a cache the platform would empty under memory pressure,
// so it is bounded: every entry costs its decoded size (four bytes a pixel)
// plus its source bytes, and storing beyond the budget (32 MiB for the shared
// cache) evicts the least recently used entries first. An image that alone
// costs more than the budget is not kept. Reading an entry makes it the most
// recently used.
//
// Thread-safety: every method may be called from any thread.

#include <cstddef>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tavrino/export.hpp"
#include "tavrino/ui/image.hpp"

namespace tavrino::banner {

class TAVRINO_EXPORT ImageCache {
 public:
  static constexpr std::size_t kSharedBudgetBytes = std::size_t{32} << 20;

  // The process-wide cache; tavrino::resetProcessStateForTesting() empties it.
  static ImageCache& shared();

  explicit ImageCache(std::size_t budgetBytes);
  ImageCache(const ImageCache&) = delete;
  ImageCache& operator=(const ImageCache&) = delete;

  // The cache key of url: url percent-encoded for a query (the bytes outside
  // CharacterSet::urlQueryAllowed); nothing when url is not valid UTF-8.
  static std::optional<std::string> keyFor(std::string_view url);
  // What image costs against the budget, in bytes.
  static std::size_t costOf(const ui::Image& image);

  // The image stored under key, if any; it becomes the most recently used.
  std::optional<ui::Image> get(std::string_view key);
  // Stores image under key (replacing an earlier one), then evicts the least
  // recently used entries until the total cost fits the budget. An empty
  // image is not stored.
  void set(std::string_view key, ui::Image image);
  void clear();

  std::size_t count() const;
  // The summed cost of the entries, never above budget().
  std::size_t costInBytes() const;
  std::size_t budget() const { return budget_; }

 private:
  struct Entry {
    std::string key;
    ui::Image image;
    std::size_t cost = 0;
  };

  void evictLocked();

  const std::size_t budget_;
  mutable std::mutex mu_;
  std::list<Entry> entries_;  // most recently used first
  std::unordered_map<std::string_view, std::list<Entry>::iterator> index_;
  std::size_t cost_ = 0;
};

}  // namespace tavrino::banner
