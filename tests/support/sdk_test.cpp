#include "support/sdk_test.hpp"

#include <algorithm>
#include <sstream>

#include "platform/linux_dispatch.hpp"

#include "tavrino/client.hpp"
#include "tavrino/util/store.hpp"

namespace tavrino::testing {

void CapturingLog::add(std::vector<std::string>& to, std::string_view line) {
  std::lock_guard lock(mu_);
  to.emplace_back(line);
}

std::vector<std::string> CapturingLog::copy(const std::vector<std::string>& of) const {
  std::lock_guard lock(mu_);
  return of;
}

bool CapturingLog::anyContains(const std::vector<std::string>& of, std::string_view text) const {
  return std::ranges::any_of(
      copy(of), [&](const auto& line) { return line.find(text) != std::string::npos; });
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
  dynamic_cast<platform::LinuxDispatch&>(platform_->dispatch()).setTaskObserver(watchdog_);
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

void SdkTest::storeAll(const std::string& entries) {
  const std::int64_t now = clock().epochSeconds();
  const std::pair<std::string, std::int64_t> marks[] = {
      {"{ahead}", now + 3600}, {"{past}", now - 1}, {"{now}", now}};
  std::istringstream in(entries);
  for (std::string entry; std::getline(in, entry, ';');) {
    for (const auto& [mark, at] : marks) {
      if (const auto pos = entry.find(mark); pos != std::string::npos) {
        entry.replace(pos, mark.size(), std::to_string(at));
      }
    }
    const auto eq = entry.find('=');
    Util::setCookieToQIVDefaults(entry.substr(0, eq), entry.substr(eq + 1));
  }
}

std::string SdkTest::storedAll(std::string_view keys) {
  std::string all;
  for (const auto& key : words(keys)) {
    const auto value = Util::qivDefaults()->object(key);
    all += (all.empty() ? "" : " ") + (!value               ? "!" + key
                                       : value->is_string() ? key + "=" + value->get<std::string>()
                                                            : key + ":" + value->dump());
  }
  return all;
}

std::vector<std::string> words(std::string_view text) {
  std::vector<std::string> all;
  std::istringstream in{std::string(text)};
  for (std::string word; std::getline(in, word, ' ');) {
    if (!word.empty()) all.push_back(word);
  }
  return all;
}

}  // namespace tavrino::testing
