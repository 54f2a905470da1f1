#pragma once

// Log: the platform log (where the SDK's debug lines go) and the console
// (where the few unconditional lines are printed).
//
// Thread-safety: both methods may be called from any thread; a line is
// written whole, never interleaved with another.

#include <string_view>

#include "tavrino/export.hpp"

namespace tavrino::platform {

class TAVRINO_EXPORT Log {
 public:
  virtual ~Log();

  // Writes one line to the platform log. The Linux log writes it to standard
  // error prefixed with a timestamp.
  virtual void log(std::string_view line) = 0;

  // Writes one line to the console (standard output on Linux).
  virtual void console(std::string_view line) = 0;
};

}  // namespace tavrino::platform
