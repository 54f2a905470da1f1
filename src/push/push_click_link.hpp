#pragma once

// What a tap hands to the host: the push-click callback and the link.

#include <optional>
#include <string>
#include <string_view>

#include "tavrino/value.hpp"

namespace tavrino::push {

// The action button a tap selected: its "id" and its "url" (may be empty).
struct SelectedButton {
  std::string id;
  std::string url;
};

// Calls the host's push-click callback (fakePCC when none) with the payload,
// unless "pushcb" is "0". What the callback throws is logged and dropped.
void callPushClickCallback(const Value& payload);

// Opens the payload's link (read under linkKey, a selected button's "url"
// replacing it) unless "_native_click" leaves links to the host.
void openPayloadLink(const Value& payload, std::string_view linkKey,
                     const std::optional<SelectedButton>& button);

}  // namespace tavrino::push
