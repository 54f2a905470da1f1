#include "tavrino/banner/image_cache.hpp"

#include "tavrino/url_encoding.hpp"

namespace tavrino::banner {

ImageCache& ImageCache::shared() {
  static ImageCache cache(kSharedBudgetBytes);
  return cache;
}

ImageCache::ImageCache(std::size_t budgetBytes) : budget_(budgetBytes) {}

std::optional<std::string> ImageCache::keyFor(std::string_view url) {
  return urlEncoded(url, CharacterSet::urlQueryDenied());
}

std::size_t ImageCache::costOf(const ui::Image& image) {
  // Sizes come from an accepted decode, so the product stays far from overflow;
  // the clamp only guards hand-made images.
  constexpr double kLimit = static_cast<double>(std::size_t{1} << 52);
  double pixels = image.width() * image.height() * 4;
  if (!(pixels < kLimit)) pixels = kLimit;
  return static_cast<std::size_t>(pixels) + image.data().size();
}

std::optional<ui::Image> ImageCache::get(std::string_view key) {
  std::lock_guard lock(mu_);
  const auto found = index_.find(key);
  if (found == index_.end()) return std::nullopt;
  entries_.splice(entries_.begin(), entries_, found->second);
  return found->second->image;
}

void ImageCache::set(std::string_view key, ui::Image image) {
  if (image.isEmpty()) return;
  const std::size_t cost = costOf(image);
  std::lock_guard lock(mu_);
  if (const auto found = index_.find(key); found != index_.end()) {
    cost_ -= found->second->cost;
    entries_.erase(found->second);
    index_.erase(found);
  }
  if (cost > budget_) return;
  entries_.push_front(Entry{std::string(key), std::move(image), cost});
  index_.emplace(entries_.front().key, entries_.begin());
  cost_ += cost;
  evictLocked();
}

void ImageCache::evictLocked() {
  while (cost_ > budget_ && !entries_.empty()) {
    const Entry& oldest = entries_.back();
    cost_ -= oldest.cost;
    index_.erase(oldest.key);
    entries_.pop_back();
  }
}

void ImageCache::clear() {
  std::lock_guard lock(mu_);
  index_.clear();
  entries_.clear();
  cost_ = 0;
}

std::size_t ImageCache::count() const {
  std::lock_guard lock(mu_);
  return entries_.size();
}

std::size_t ImageCache::costInBytes() const {
  std::lock_guard lock(mu_);
  return cost_;
}

}  // namespace tavrino::banner
