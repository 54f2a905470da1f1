#include "tavrino/platform/linux_system_info.hpp"

#include <cstdlib>

#include <sys/utsname.h>

namespace tavrino::platform {
namespace {

bool isAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// POSIX precedence for the language of messages.
std::string localeNameFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value && *value) return value;
  }
  return "";
}

std::string unameMachine() {
  utsname names{};
  if (uname(&names) != 0) return "";
  return names.machine;
}

}  // namespace

std::optional<std::string> languageCodeOfLocale(std::string_view localeName) {
  if (localeName.empty() || localeName == "C" || localeName == "POSIX" ||
      localeName.starts_with("C.")) {
    return "en";
  }
  std::string code;
  for (char c : localeName) {
    if (c == '_' || c == '-' || c == '.' || c == '@') break;
    if (!isAsciiLetter(c)) return std::nullopt;
    code += static_cast<char>(c | 0x20);  // lower case
  }
  if (code.size() < 2 || code.size() > 8) return std::nullopt;
  return code;
}

LinuxSystemInfo::LinuxSystemInfo()
    : screen_{1170, 2532},
      systemVersion_("17.0"),
      idiom_(InterfaceIdiom::phone),
      languageCode_(languageCodeOfLocale(localeNameFromEnvironment())),
      bundleInfo_{{"CFBundleShortVersionString", "1.0"}},
      hardwareIdentifier_(unameMachine()) {}

ScreenSize LinuxSystemInfo::screenNativeBounds() {
  std::lock_guard lock(mu_);
  return screen_;
}

std::string LinuxSystemInfo::systemVersion() {
  std::lock_guard lock(mu_);
  return systemVersion_;
}

InterfaceIdiom LinuxSystemInfo::interfaceIdiom() {
  std::lock_guard lock(mu_);
  return idiom_;
}

std::optional<std::string> LinuxSystemInfo::languageCode() {
  std::lock_guard lock(mu_);
  return languageCode_;
}

std::optional<std::string> LinuxSystemInfo::bundleInfo(std::string_view key) {
  std::lock_guard lock(mu_);
  const auto it = bundleInfo_.find(key);
  if (it == bundleInfo_.end()) return std::nullopt;
  return it->second;
}

std::string LinuxSystemInfo::hardwareIdentifier() {
  std::lock_guard lock(mu_);
  return hardwareIdentifier_;
}

std::optional<std::string> LinuxSystemInfo::environmentValue(std::string_view name) {
  {
    std::lock_guard lock(mu_);
    const auto it = environment_.find(name);
    if (it != environment_.end()) return it->second;
  }
  const char* value = std::getenv(std::string(name).c_str());
  if (!value) return std::nullopt;
  return std::string(value);
}

void LinuxSystemInfo::setScreenNativeBounds(ScreenSize size) {
  std::lock_guard lock(mu_);
  screen_ = size;
}

void LinuxSystemInfo::setSystemVersion(std::string version) {
  std::lock_guard lock(mu_);
  systemVersion_ = std::move(version);
}

void LinuxSystemInfo::setInterfaceIdiom(InterfaceIdiom idiom) {
  std::lock_guard lock(mu_);
  idiom_ = idiom;
}

void LinuxSystemInfo::setLanguageCode(std::optional<std::string> code) {
  std::lock_guard lock(mu_);
  languageCode_ = std::move(code);
}

void LinuxSystemInfo::setBundleInfo(std::string key, std::optional<std::string> value) {
  std::lock_guard lock(mu_);
  if (value) {
    bundleInfo_.insert_or_assign(std::move(key), std::move(*value));
  } else if (const auto it = bundleInfo_.find(key); it != bundleInfo_.end()) {
    bundleInfo_.erase(it);
  }
}

void LinuxSystemInfo::setHardwareIdentifier(std::string identifier) {
  std::lock_guard lock(mu_);
  hardwareIdentifier_ = std::move(identifier);
}

void LinuxSystemInfo::setEnvironmentValue(std::string name, std::optional<std::string> value) {
  std::lock_guard lock(mu_);
  environment_.insert_or_assign(std::move(name), std::move(value));
}

}  // namespace tavrino::platform
