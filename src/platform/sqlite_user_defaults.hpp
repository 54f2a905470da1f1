#pragma once

#include <filesystem>
#include <memory>

#include "tavrino/platform/log.hpp"
#include "tavrino/platform/user_defaults.hpp"

namespace tavrino::platform {

// Returns user defaults whose suites live in directory, one SQLite database
// per suite ("<name>.defaults.sqlite"). The directory is created (mode 0700)
// when the first suite is opened. Refusals and failures go to log.
// REQUIRES: log outlives the user defaults and every suite they hand out.
std::unique_ptr<UserDefaults> makeSqliteUserDefaults(std::filesystem::path directory, Log& log);

}  // namespace tavrino::platform
