#pragma once

#include <chrono>

namespace tavrino {

// The time-out of answer fetches: the page's "_req_to" in seconds; 6 when it
// is no positive number; at most a day, so the conversion cannot overflow.
std::chrono::milliseconds configuredRequestTimeout();

}  // namespace tavrino
