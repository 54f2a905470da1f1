#pragma once

// The X screen as its user sees it: the root window's pixels, every top-level
// window on it included (a notification server draws its own windows, which
// no toolkit snapshot of the application's window contains).

#include <filesystem>

namespace tavrino::sim {

// Writes the screen of the display in DISPLAY to png; false when it cannot.
bool saveScreen(const std::filesystem::path& png);

}  // namespace tavrino::sim
