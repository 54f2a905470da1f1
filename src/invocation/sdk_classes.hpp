#pragma once

#include "tavrino/runtime/registry.hpp"

namespace tavrino::runtime {

// Registers the SDK's own classes ("iOS_qiv.QivUtil" and its banner-script
// functions) with registry.
void registerSdkClasses(Registry& registry);

}  // namespace tavrino::runtime
