#pragma once

// Encoding helpers shared by the request builders.

#include <string>
#include <string_view>

#include "tavrino/url_encoding.hpp"

namespace tavrino::request {

// Returns text with every byte in denying, and every byte of 0x80 or above,
// percent-encoded. Unlike urlEncoded() it takes any bytes.
std::string percentEncodeBytes(std::string_view text, const CharacterSet& denying);

// Returns the base URL with every byte that no part of a URL may carry raw
// (control characters, the blank, non-ASCII, "\"<>\\^`{|}") percent-encoded.
// What gives the URL its structure, and "%" of escapes already there, stays.
std::string encodeBaseUrl(std::string_view base);

// Returns the number of characters (code points) of UTF-8 text.
std::size_t characterCount(std::string_view text);

}  // namespace tavrino::request
