#pragma once

namespace tavrino::fuzz {

// Installs, once, a Linux platform over a private temporary directory whose
// log and console drop every line.
void installQuietPlatform();

}  // namespace tavrino::fuzz
