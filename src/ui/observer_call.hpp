#pragma once

#include <exception>
#include <memory>
#include <string>

#include "tavrino/qiv_util.hpp"
#include "tavrino/ui/window.hpp"

namespace tavrino::ui {

// Tells the observer of window, if any. The observer is host code: a failure
// there must neither leave the tree half changed nor reach the caller.
template <typename Fn>
void tellObserver(const std::shared_ptr<Window>& window, Fn&& fn) {
  if (!window) return;
  const auto observer = window->treeObserver();  // kept alive through the call
  if (!observer) return;
  try {
    fn(*observer);
  } catch (const std::exception& e) {
    QivUtil::addLog(std::string("tree observer failed : ") + e.what());
  } catch (...) {
    QivUtil::addLog("tree observer failed");
  }
}

}  // namespace tavrino::ui
