#pragma once

// Encoding helpers shared by the request builders.

#include <array>
#include <string>
#include <string_view>

#include "tavrino/url_encoding.hpp"

namespace tavrino::request {

// A CharacterSet as a byte table: true for each byte that goes out raw. Bytes
// of 0x80 and above are never raw.
class RawBytes {
 public:
  explicit RawBytes(const CharacterSet& denying);
  bool raw(unsigned char byte) const { return raw_[byte]; }

 private:
  std::array<bool, 256> raw_{};
};

// Appends text with every byte that is not raw percent-encoded, in one pass.
void appendEncodedBytes(std::string& out, std::string_view text, const RawBytes& table);

// As appendEncodedBytes, but only for UTF-8 text: returns false, having
// appended nothing, when text is not UTF-8.
bool appendEncoded(std::string& out, std::string_view text, const RawBytes& table);

// Returns true iff text is well-formed UTF-8.
bool isValidUtf8(std::string_view text);

// Returns text with every byte in denying, and every byte of 0x80 or above,
// percent-encoded. Unlike urlEncoded() it takes any bytes.
std::string percentEncodeBytes(std::string_view text, const CharacterSet& denying);

// Returns the base URL with every byte that no part of a URL may carry raw
// (control characters, the blank, non-ASCII, "\"<>\\^`{|}") percent-encoded.
// What gives the URL its structure, and "%" of escapes already there, stays.
std::string encodeBaseUrl(std::string_view base);
void appendBaseUrl(std::string& out, std::string_view base);

// Appends "&key=value" encoded as a query pair: "&" is escaped in both, and
// '"', ":" and "," in the value. A text that is not UTF-8 goes out empty,
// with a log line.
void appendQueryPair(std::string& out, std::string_view key, std::string_view value);
// As appendQueryPair, without the log line (for callers that may not touch
// the store): returns false when a text went out empty.
bool appendQueryPairQuietly(std::string& out, std::string_view key, std::string_view value);

// Returns the number of characters (code points) of UTF-8 text.
std::size_t characterCount(std::string_view text);

}  // namespace tavrino::request
