#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

#include "tavrino/platform/log.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/platform/url_session.hpp"

namespace tavrino::fuzz {

// A log that drops every line: fuzzing would drown in them.
class QuietLog final : public platform::Log {
 public:
  void log(std::string_view) override {}
  void console(std::string_view) override {}
};

// A session that keeps the fuzzer off the network: addresses are checked by
// the real parser, every transfer fails at once, nothing downloads.
class OfflineSession : public platform::URLSession {
 public:
  explicit OfflineSession(platform::URLSession& real) : real_(real) {}
  void dataTask(platform::URLRequest, platform::DataTaskCompletion completion) override {
    completion(std::nullopt, std::nullopt, platform::URLError{7, "offline"});
  }
  bool formsURL(std::string_view text) const override { return real_.formsURL(text); }
  std::optional<Data> contentsOf(std::string_view, std::chrono::milliseconds) override {
    return std::nullopt;
  }

 protected:
  platform::URLSession& real_;
};

// A platform that drops its log and sends every transfer through Session,
// which wraps the real session and keeps the fuzzer off the network.
template <typename Session>
class OfflinePlatform final : public platform::PlatformWrapper {
 public:
  explicit OfflinePlatform(std::unique_ptr<platform::Platform> target)
      : PlatformWrapper(std::move(target)), session_(this->target().urlSession()) {}
  // Background work still uses the session and the log: finish it while
  // they exist.
  ~OfflinePlatform() override { shutdown(); }
  platform::Log& log() override { return log_; }
  platform::URLSession& urlSession() override { return session_; }

 private:
  QuietLog log_;
  Session session_;
};

// Installs, once, a Linux platform over a private temporary directory whose
// log and console drop every line.
void installQuietPlatform();

}  // namespace tavrino::fuzz
