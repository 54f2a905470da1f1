// Holds the installed platform.

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "tavrino/platform/platform.hpp"

namespace tavrino::platform {

// Weak, so the core links (and loads) without a platform library: the default
// is looked up only when none was installed.
[[gnu::weak]] std::unique_ptr<Platform> makeDefaultPlatform();

namespace {

std::mutex& registryMutex() {
  static std::mutex mu;
  return mu;
}
std::unique_ptr<Platform>& installed() {
  static std::unique_ptr<Platform> platform;
  return platform;
}
std::atomic<Platform*> currentPlatform{nullptr};

}  // namespace

Platform& current() {
  if (Platform* p = currentPlatform.load(std::memory_order_acquire)) return *p;
  std::lock_guard lock(registryMutex());
  if (!installed()) {
    if (!makeDefaultPlatform) {
      // Nothing to run on: a build that links no platform library must install one.
      std::fputs("tavrino: no platform installed and no platform library linked\n", stderr);
      std::abort();
    }
    installed() = makeDefaultPlatform();
    currentPlatform.store(installed().get(), std::memory_order_release);
  }
  return *installed();
}

void install(std::unique_ptr<Platform> platform) {
  // Outside the lock: the outgoing platform's background work may still call
  // current() while it finishes.
  if (Platform* outgoing = currentPlatform.load(std::memory_order_acquire)) outgoing->shutdown();
  std::unique_ptr<Platform> previous;
  {
    std::lock_guard lock(registryMutex());
    previous = std::move(installed());
    installed() = std::move(platform);
    currentPlatform.store(installed().get(), std::memory_order_release);
  }
  previous.reset();
}

}  // namespace tavrino::platform
