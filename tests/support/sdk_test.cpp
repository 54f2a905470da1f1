#include "support/sdk_test.hpp"

#include "platform/linux_dispatch.hpp"

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
  checkMainLoopStalls();
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  recordWorstTasks(*watchdog_,
                   info ? std::string(info->test_suite_name()) + "." + info->name() : "?");
}

void SdkTest::checkMainLoopStalls() {
  for (const auto& stall : watchdog_->takeStalls()) {
    ADD_FAILURE() << "a main-loop task kept the loop busy too long: "
                  << describe(stall, watchdog_->limits());
  }
}

void SdkTest::installPlatform() {
  auto platform = std::make_unique<CapturingPlatform>(
      makePlatform({.dataDirectory = dir_.path(), .clock = clock_}));
  platform_ = platform.get();
  // Every platform these tests make runs the Linux main loop.
  if (auto* linux = dynamic_cast<platform::LinuxDispatch*>(&platform_->dispatch())) {
    linux->setTaskObserver(watchdog_);
  } else {
    ADD_FAILURE() << "the platform's main loop cannot be watched";
  }
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
