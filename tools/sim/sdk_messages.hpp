#pragma once

// Turns the SDK's debug log lines into the decisions the timeline shows:
// what was shown, held back and why, filed, replayed, refused or dropped.
// Lines that are not decisions are left to --verbose.

#include <optional>
#include <string>
#include <string_view>

namespace tavrino::sim {

struct Decision {
  // "shown", "heldBack", "filed", "replayed", "refused", "dropped", "waiting",
  // "action", "label", "hostMethod", "badge", "click", "push", "failed".
  std::string what;
  std::string text;
};

// The decision a log line (without its "tavrino_log : " prefix) records, or
// nothing.
std::optional<Decision> decisionOf(std::string_view line);

// Whether a progress step the SDK recorded tells the story (pushes, clicks,
// redirections, callbacks); the others are left to --verbose.
bool isNotableStep(std::string_view step);

// The line without the SDK's "tavrino_log : " prefix.
std::string_view stripLogPrefix(std::string_view line);

}  // namespace tavrino::sim
