#pragma once

// The fixture most SDK tests use: a Linux platform over a fresh temporary
// data directory, a manual clock, and a log that records its lines. A
// watchdog times every task of the main loop; the test fails if one kept the
// loop busy for more than a frame.

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "desktop_session/temp_dir.hpp"
#include "support/main_loop_watchdog.hpp"
#include "tavrino/platform/linux.hpp"

namespace tavrino::testing {

// Records platform log and console lines instead of printing them.
class CapturingLog final : public platform::Log {
 public:
  void log(std::string_view line) override { add(lines_, line); }
  void console(std::string_view line) override { add(console_, line); }

  std::vector<std::string> lines() const { return copy(lines_); }
  std::vector<std::string> consoleLines() const { return copy(console_); }
  // Returns true iff some log line contains text.
  bool contains(std::string_view text) const { return anyContains(lines_, text); }
  bool consoleContains(std::string_view text) const { return anyContains(console_, text); }
  void clear();

 private:
  void add(std::vector<std::string>& to, std::string_view line);
  std::vector<std::string> copy(const std::vector<std::string>& of) const;
  bool anyContains(const std::vector<std::string>& of, std::string_view text) const;

  mutable std::mutex mu_;
  std::vector<std::string> lines_;
  std::vector<std::string> console_;
};

// A platform whose log is a CapturingLog; everything else is the target's.
class CapturingPlatform final : public platform::PlatformWrapper {
 public:
  explicit CapturingPlatform(std::unique_ptr<platform::Platform> target)
      : PlatformWrapper(std::move(target)) {}
  platform::Log& log() override { return log_; }
  CapturingLog& capturingLog() { return log_; }

 private:
  CapturingLog log_;
};

// The words of text between blanks (a tab belongs to its word).
std::vector<std::string> words(std::string_view text);

inline constexpr std::int64_t kTestEpoch = 1'700'000'000;

class SdkTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Replaces the installed platform by a fresh one over the same directory
  // and clock: what a restart of the process sees.
  void restartPlatform();
  // Switches the SDK's debug log on ("qivtest").
  void enableDebugLog();

  // Stores "key=value;..." as texts; "{ahead}" stands for an hour ahead,
  // "{past}" for a second ago, "{now}" for the clock's second.
  void storeAll(const std::string& entries);
  // "key=value" for each of the blank-separated keys: "!key" when it is
  // absent, "key:json" when what is stored is no text.
  static std::string storedAll(std::string_view keys);

  platform::ManualClock& clock() { return *clock_; }
  CapturingLog& log() { return platform_->capturingLog(); }
  platform::Dispatch& dispatch() { return platform_->dispatch(); }
  const std::filesystem::path& dataDirectory() const { return dir_.path(); }
  MainLoopWatchdog& watchdog() { return *watchdog_; }
  // Fails the test for each main-loop task over the watchdog's limits so
  // far, then forgets them. TearDown calls it too.
  void checkMainLoopStalls();
  // Builds the platform the test installs (the Linux one by default).
  virtual std::unique_ptr<platform::Platform> makePlatform(platform::LinuxPlatformOptions options) {
    return platform::makeLinuxPlatform(std::move(options));
  }

 private:
  void installPlatform();

  TempDir dir_;
  std::shared_ptr<platform::ManualClock> clock_;
  CapturingPlatform* platform_ = nullptr;
  std::shared_ptr<MainLoopWatchdog> watchdog_ = std::make_shared<MainLoopWatchdog>();
};

}  // namespace tavrino::testing
