#pragma once

// SystemInfo: what the device, the operating system, the application bundle
// and the process environment say about themselves. The SDK reports these
// facts with every request.
//
// Thread-safety: every method may be called from any thread. A value may
// change between two calls (a host that sets it, a locale change); each call
// returns one consistent value.

#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"

namespace tavrino::platform {

// The kind of device the interface is laid out for.
enum class InterfaceIdiom { phone, pad, other };

// A size in pixels of the physical screen (not in points).
struct ScreenSize {
  double width = 0;
  double height = 0;
};

class TAVRINO_EXPORT SystemInfo {
 public:
  virtual ~SystemInfo();

  // Returns the main screen's bounds in pixels, portrait up.
  virtual ScreenSize screenNativeBounds() = 0;

  // Returns the operating system's version, e.g. "17.0".
  virtual std::string systemVersion() = 0;

  // Returns true iff systemVersion() is major.minor or later. The version is
  // read as dot-separated whole numbers (missing parts count 0); a version
  // that does not start with a number counts as 0.0.
  bool isOperatingSystemAtLeast(int major, int minor = 0);

  virtual InterfaceIdiom interfaceIdiom() = 0;

  // Returns the current locale's language code in lower case, e.g. "de";
  // nothing when the locale has none.
  virtual std::optional<std::string> languageCode() = 0;

  // Returns the value of key in the application bundle's information, e.g.
  // "CFBundleShortVersionString"; nothing when the bundle has no such entry.
  virtual std::optional<std::string> bundleInfo(std::string_view key) = 0;

  // Returns the hardware model identifier, the machine field of POSIX
  // uname(), e.g. "iPhone10,3" on a phone or "x86_64" on a simulator.
  virtual std::string hardwareIdentifier() = 0;

  // Returns the value of the process environment variable name; nothing when
  // it is not set.
  virtual std::optional<std::string> environmentValue(std::string_view name) = 0;
};

}  // namespace tavrino::platform
