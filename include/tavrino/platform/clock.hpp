#pragma once

// Clock: the time base of the SDK's timestamps and of the main run loop's
// delayed work and timers.
//
// Thread-safety: every method may be called from any thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tavrino/export.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT Clock {
 public:
  // Time since 1970-01-01 UTC.
  using Duration = std::chrono::microseconds;

  virtual ~Clock();

  // Returns the time since 1970-01-01 UTC.
  virtual Duration now() const = 0;

  // Returns true iff the clock moves only when told to (see ManualClock).
  virtual bool isManual() const { return false; }

  // Calls fn after every change made by the clock's owner. Only manual clocks
  // change that way; the run loop uses this to wake up when time jumps.
  // Returns an id for removeObserver, which returns only once fn can no
  // longer be running. REQUIRES: fn does not add or remove observers.
  virtual std::uint64_t addObserver(std::function<void()> fn);
  virtual void removeObserver(std::uint64_t id);

  // Returns whole seconds since 1970, truncated.
  std::int64_t epochSeconds() const;
};

class TAVRINO_EXPORT SystemClock final : public Clock {
 public:
  Duration now() const override;
};

// A clock that stands still until set or advanced. It is the one fake the
// tests use: it drives both the SDK's timestamps and the run loop's timers.
class TAVRINO_EXPORT ManualClock final : public Clock {
 public:
  explicit ManualClock(std::int64_t epochSecond);

  Duration now() const override;
  bool isManual() const override { return true; }
  std::uint64_t addObserver(std::function<void()> fn) override;
  void removeObserver(std::uint64_t id) override;

  void set(std::int64_t epochSecond);
  void setTime(Duration sinceEpoch);
  void advance(Duration by);

 private:
  void notify();

  mutable std::mutex mu_;  // guards now_
  Duration now_;
  // Held while observers run, so removeObserver() returns only once its
  // observer can no longer be running. Never taken together with mu_.
  std::mutex observersMu_;
  std::uint64_t nextId_ = 1;
  std::vector<std::pair<std::uint64_t, std::function<void()>>> observers_;
};

}  // namespace tavrino::platform
