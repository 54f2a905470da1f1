#pragma once

#include <string_view>

#include "tavrino/platform/log.hpp"

namespace tavrino::fuzz {

// A log that drops every line: fuzzing would drown in them.
class QuietLog final : public platform::Log {
 public:
  void log(std::string_view) override {}
  void console(std::string_view) override {}
};

// Installs, once, a Linux platform over a private temporary directory whose
// log and console drop every line.
void installQuietPlatform();

}  // namespace tavrino::fuzz
