#include "support/sdk_test.hpp"

#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

void CapturingLog::log(std::string_view line) {
  std::lock_guard lock(mu_);
  lines_.emplace_back(line);
}

void CapturingLog::console(std::string_view line) {
  std::lock_guard lock(mu_);
  console_.emplace_back(line);
}

std::vector<std::string> CapturingLog::lines() const {
  std::lock_guard lock(mu_);
  return lines_;
}

std::vector<std::string> CapturingLog::consoleLines() const {
  std::lock_guard lock(mu_);
  return console_;
}

bool CapturingLog::contains(std::string_view text) const {
  std::lock_guard lock(mu_);
  for (const auto& line : lines_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

bool CapturingLog::consoleContains(std::string_view text) const {
  std::lock_guard lock(mu_);
  for (const auto& line : console_) {
    if (line.find(text) != std::string::npos) return true;
  }
  return false;
}

void CapturingLog::clear() {
  std::lock_guard lock(mu_);
  lines_.clear();
  console_.clear();
}

void SdkTest::SetUp() {
  clock_ = std::make_shared<platform::ManualClock>(kTestEpoch);
  resetProcessStateForTesting();
  installPlatform();
}

void SdkTest::TearDown() {
  platform_ = nullptr;
  platform::install(nullptr);
  resetProcessStateForTesting();
}

void SdkTest::installPlatform() {
  auto platform = std::make_unique<CapturingPlatform>(
      platform::makeLinuxPlatform({.dataDirectory = dir_.path(), .clock = clock_}));
  platform_ = platform.get();
  platform::install(std::move(platform));
}

void SdkTest::restartPlatform() {
  platform_ = nullptr;
  platform::install(nullptr);
  resetProcessStateForTesting();
  installPlatform();
}

void SdkTest::enableDebugLog() {
  Util::setCookieToQIVDefaults("qivtest", "1");
}

}  // namespace tavrino::testing
