#pragma once

// Screen: the main screen, the status bar and how the device is held.
//
// Thread-safety: every method may be called from any thread; each call
// returns the state of one moment.

#include "tavrino/export.hpp"
#include "tavrino/platform/system_info.hpp"
#include "tavrino/ui/geometry.hpp"

namespace tavrino::platform {

// Raw values as the platform numbers them (portrait is 1).
enum class DeviceOrientation {
  unknown = 0,
  portrait = 1,
  portraitUpsideDown = 2,
  landscapeLeft = 3,
  landscapeRight = 4,
  faceUp = 5,
  faceDown = 6,
};

class TAVRINO_EXPORT Screen {
 public:
  virtual ~Screen();

  // The main screen in points, as the interface is currently turned.
  virtual ui::Rect bounds() = 0;
  // The main screen in pixels, portrait up, whatever the orientation.
  virtual ui::Rect nativeBounds() = 0;
  // Pixels per point.
  virtual double scale() = 0;
  // The status bar in points; zero when it is hidden.
  virtual ui::Rect statusBarFrame() = 0;
  virtual DeviceOrientation deviceOrientation() = 0;
  virtual InterfaceIdiom userInterfaceIdiom() = 0;
};

}  // namespace tavrino::platform
