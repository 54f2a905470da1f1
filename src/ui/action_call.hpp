#pragma once

#include <exception>
#include <string>

#include "tavrino/qiv_util.hpp"

namespace tavrino::ui::detail {

// Runs one target-action or callback; a failure there is logged with what
// and goes no further. Returns false when it failed.
template <typename Fn>
bool callGuarded(const char* what, Fn&& fn) {
  try {
    fn();
    return true;
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string(what) + " failed : " + e.what());
  } catch (...) {
    QivUtil::addLog(std::string(what) + " failed");
  }
  return false;
}

}  // namespace tavrino::ui::detail
