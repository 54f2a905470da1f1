#pragma once

// The page's own keys and SDK switches, read out of a page view's local map.

#include <cstdint>
#include <string>

#include "tavrino/value.hpp"

namespace tavrino::pageview {

struct PageKeys {
  std::string ls = "|";
  std::string ps = "/";
  std::string pageName;  // "p", else the view's class name
  bool pageNameFromView = true;
  std::string a = "a";
};

// The banner insets and shake threshold a page sets for its campaigns.
struct PageTuning {
  std::int64_t s_btm = 0;
  std::int64_t s_top = 0;
  double shkthr = 1.3;
};

// Reads "ls", "ps", "p", "a", sets the orientation flag and the current page
// name.
PageKeys readPageKeys(const StringMap& localmap, const std::string& className);

// Writes the switches into the store and the shared configuration, in their
// fixed order. REQUIRES: inside a transaction of the store.
PageTuning applySwitches(const StringMap& localmap);

}  // namespace tavrino::pageview
