#pragma once

// Bounds on JSON text that reaches the parser from the network or a payload.
// Nesting is bounded because copying, writing and destroying a value recurse
// once per level; size is bounded because a parsed document costs several
// times its text in memory, all of it on the host's heap.

#include <cstddef>
#include <string_view>

namespace tavrino::json {

// The largest answer or payload text parsed: 8 MiB. The biggest real answer
// (fifty campaigns with their markup) is well under 1 MiB.
inline constexpr std::size_t kMaxTextBytes = 8 * 1024 * 1024;

// Returns true iff text is small and shallow enough to parse; otherwise adds
// a log line saying why it was refused.
bool admits(std::string_view text);

}  // namespace tavrino::json
