#pragma once

#include "tavrino/export.hpp"

namespace tavrino::Util {

// Fetches the company settings from the service, stores them with a lifetime
// of one day, then constructs a fresh client that registers for push.
TAVRINO_EXPORT void getCompanySettings();

}  // namespace tavrino::Util
