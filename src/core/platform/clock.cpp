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
  std::lock_guard lock(mu_);
  const std::uint64_t id = nextId_++;
  observers_.emplace_back(id, std::make_shared<std::function<void()>>(std::move(fn)));
  return id;
}

void ManualClock::removeObserver(std::uint64_t id) {
  std::lock_guard lock(mu_);
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void ManualClock::notify() {
  // Copied so an observer may add or remove observers without deadlock.
  std::vector<std::shared_ptr<std::function<void()>>> observers;
  {
    std::lock_guard lock(mu_);
    for (const auto& entry : observers_) observers.push_back(entry.second);
  }
  for (const auto& fn : observers) (*fn)();
}

}  // namespace tavrino::platform
