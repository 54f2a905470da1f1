#include "tavrino/platform/clock.hpp"

#include <algorithm>

namespace tavrino::platform {

Clock::~Clock() = default;

std::uint64_t Clock::addObserver(std::function<void()>) {
  return 0;
}
void Clock::removeObserver(std::uint64_t) {}

std::int64_t Clock::epochSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(now()).count();
}

Clock::Duration SystemClock::now() const {
  return std::chrono::duration_cast<Duration>(std::chrono::system_clock::now().time_since_epoch());
}

ManualClock::ManualClock(std::int64_t epochSecond)
    : now_(std::chrono::duration_cast<Duration>(std::chrono::seconds(epochSecond))) {}

Clock::Duration ManualClock::now() const {
  std::lock_guard lock(mu_);
  return now_;
}

void ManualClock::set(std::int64_t epochSecond) {
  setTime(std::chrono::duration_cast<Duration>(std::chrono::seconds(epochSecond)));
}

void ManualClock::setTime(Duration sinceEpoch) {
  {
    std::lock_guard lock(mu_);
    now_ = sinceEpoch;
  }
  notify();
}

void ManualClock::advance(Duration by) {
  {
    std::lock_guard lock(mu_);
    now_ += by;
  }
  notify();
}

std::uint64_t ManualClock::addObserver(std::function<void()> fn) {
  std::lock_guard lock(observersMu_);
  const std::uint64_t id = nextId_++;
  observers_.emplace_back(id, std::move(fn));
  return id;
}

void ManualClock::removeObserver(std::uint64_t id) {
  std::lock_guard lock(observersMu_);
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void ManualClock::notify() {
  // REQUIRES: observers neither add nor remove observers.
  std::lock_guard lock(observersMu_);
  for (const auto& [id, fn] : observers_) fn();
}

}  // namespace tavrino::platform
