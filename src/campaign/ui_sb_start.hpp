#pragma once

// Whether ui_sb::setParameters goes on to the banner's steps before it
// returns: they may run host code and write the store. It does not when the
// campaign has no "bsc" text or waits for a start delay.

#include "tavrino/value.hpp"

namespace tavrino {

bool presentsAtOnce(const Value& params);

}  // namespace tavrino
