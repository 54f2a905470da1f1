// Stand-ins until the core and the rest of the platform land; removed then.
#include "tavrino/platform/log.hpp"
#include "tavrino/value.hpp"

namespace tavrino {
namespace platform {
Log::~Log() = default;
}  // namespace platform
}  // namespace tavrino
