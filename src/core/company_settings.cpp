#include "tavrino/util/settings.hpp"

namespace tavrino::Util {

void getCompanySettings() {}

}  // namespace tavrino::Util
