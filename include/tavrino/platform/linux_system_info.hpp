#pragma once

// The reference platform's SystemInfo. A Linux host is no phone, so it
// describes one: the values below are defaults that the host (or a test) sets
// to what it wants the SDK to report.
//
// Thread-safety: every method, the setters included, may be called from any
// thread.

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"
#include "tavrino/platform/system_info.hpp"

namespace tavrino::platform {

// Returns the language code of a POSIX locale name: "de_DE.UTF-8" gives "de",
// "pt-BR" gives "pt"; "C", "POSIX" and the empty name give "en" (the C locale
// speaks English). Returns nothing when the name does not start with two to
// eight letters.
TAVRINO_EXPORT std::optional<std::string> languageCodeOfLocale(std::string_view localeName);

class TAVRINO_EXPORT LinuxSystemInfo final : public SystemInfo {
 public:
  // Starts as a phone: 1170x2532 pixels, system version "17.0", the phone
  // idiom, the language of the locale environment (the first set of
  // $LC_ALL, $LC_MESSAGES, $LANG), bundle short version "1.0", and the real
  // uname() machine field.
  LinuxSystemInfo();

  ScreenSize screenNativeBounds() override;
  std::string systemVersion() override;
  InterfaceIdiom interfaceIdiom() override;
  std::optional<std::string> languageCode() override;
  std::optional<std::string> bundleInfo(std::string_view key) override;
  std::string hardwareIdentifier() override;
  // Returns the value set by setEnvironmentValue(), else the process's.
  std::optional<std::string> environmentValue(std::string_view name) override;

  void setScreenNativeBounds(ScreenSize size);
  void setSystemVersion(std::string version);
  void setInterfaceIdiom(InterfaceIdiom idiom);
  // Nothing: a locale without a language code.
  void setLanguageCode(std::optional<std::string> code);
  // Nothing removes the entry.
  void setBundleInfo(std::string key, std::optional<std::string> value);
  void setHardwareIdentifier(std::string identifier);
  // Overrides one variable as this object reports it; nothing reports it as
  // unset. The process environment itself is never changed.
  void setEnvironmentValue(std::string name, std::optional<std::string> value);

 private:
  std::mutex mu_;
  ScreenSize screen_;
  std::string systemVersion_;
  InterfaceIdiom idiom_;
  std::optional<std::string> languageCode_;
  std::map<std::string, std::string, std::less<>> bundleInfo_;
  std::string hardwareIdentifier_;
  std::map<std::string, std::optional<std::string>, std::less<>> environment_;
};

}  // namespace tavrino::platform
