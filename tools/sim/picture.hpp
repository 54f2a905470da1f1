#pragma once

// Pictures of the screen: an HTML page that draws the mirrored view tree to
// scale (one CSS pixel per point), every web view's document in an iframe
// (srcdoc) and native controls as styled boxes; and, when Chromium is
// installed, a PNG screenshot of that page.

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "sim/mirror.hpp"

namespace tavrino::sim {

// The page drawing the mirror's tree; caption becomes its title.
std::string pictureHtml(const Mirror& mirror, const std::string& caption);

// Text with &, <, >, " and ' written as character references.
std::string escapeHtml(std::string_view text);
std::string base64(const Data& bytes);

// The chromium executable on the PATH, or nothing.
std::optional<std::filesystem::path> findChromium();

// Screenshots html into png at width x height with headless Chromium, killed
// after timeout. profile is the browser's scratch directory. Returns true iff
// the PNG was written.
bool screenshot(const std::filesystem::path& chromium, const std::filesystem::path& html,
                const std::filesystem::path& png, int width, int height,
                const std::filesystem::path& profile, std::chrono::seconds timeout);

}  // namespace tavrino::sim
