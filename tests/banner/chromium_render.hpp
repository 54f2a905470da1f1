#pragma once

// Renders a page in headless Chromium and returns the DOM it ends with.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace tavrino::testing {

// The chromium executable on PATH, if installed.
std::optional<std::filesystem::path> findChromium();

// Writes html to a file under directory, renders it with --dump-dom and
// returns what Chromium printed; nothing when it failed or ran past limit
// (then its whole process group is killed).
std::optional<std::string> renderDom(const std::filesystem::path& chromium,
                                     const std::filesystem::path& directory,
                                     const std::string& html,
                                     std::chrono::seconds limit = std::chrono::seconds(60));

}  // namespace tavrino::testing
