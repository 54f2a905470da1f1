// Lets the URL session tests link before the rest of the Linux platform lands.
#include "tavrino/platform/log.hpp"

namespace tavrino::platform {

Log::~Log() = default;

}  // namespace tavrino::platform
