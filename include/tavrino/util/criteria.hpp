#pragma once

// The show-once-per-page-view rule of banner campaigns.
//
// Thread-safety: main thread only.

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// Returns false (with a log line) when the campaign asks to be the only one
// of its group ("soo" "1") and the campaign shown just before it in this
// answer carried the same group ("gn"); else records its group and returns
// true.
TAVRINO_EXPORT bool checkShowOncePerPageview(const Value& params);

}  // namespace tavrino::Util
