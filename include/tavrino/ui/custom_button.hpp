#pragma once

// The button the banner code makes for every control that leads to a click:
// it carries what click handling needs to know about its banner.
//
// Thread-safety: main thread only.

#include <memory>
#include <string>

#include "tavrino/export.hpp"
#include "tavrino/ui/button.hpp"
#include "tavrino/ui/view_controller.hpp"
#include "tavrino/value.hpp"

namespace tavrino::ui {

class TAVRINO_EXPORT customButton : public Button {
 public:
  using Button::Button;
  static std::shared_ptr<customButton> make(Rect frame = {});

  // The banner's parameter map.
  Value customArray = Value::object();
  // The host view controller; weak, because the host holds the banner.
  std::weak_ptr<ViewController> view;
  std::string viewClassName;
  // The page view's client map.
  StringMap client_map;
};

}  // namespace tavrino::ui
