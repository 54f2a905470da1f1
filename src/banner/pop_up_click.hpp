#pragma once

// What the click paths of a banner share: telling a target that can be
// handed to the platform from one that cannot, and handing it over.

#include <string>
#include <string_view>

namespace tavrino::banner {

// Whether text forms a URL the platform may be asked to open: a scheme (a
// letter, then letters, digits, "+", "-" or "."), ":", then only printable
// ASCII other than the blank and the characters no URL holds unescaped
// (<>"{}|\^`). Custom schemes without a host ("tel:", "mailto:") qualify.
bool formsOpenableURL(std::string_view text);

// Asks the platform to open url outside the application; a text that forms
// no URL is logged and left alone.
void openOutside(const std::string& url);

}  // namespace tavrino::banner
