// Steps whose SDK side this build does not have yet: a push arriving through
// the notification extension (run as a child process) and the tap on it.
// The scenario still parses them; playing them says so on the timeline.

#include "sim/player.hpp"

namespace tavrino::sim {

void Player::doPush(const PushStep&) {
  unsupported("push arrival through the notification extension");
}

void Player::doPushTap(const PushTapStep&) {
  unsupported("tap on a notification");
}

}  // namespace tavrino::sim
