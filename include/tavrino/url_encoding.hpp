#pragma once

// Percent-encoding of URL parts: byte sets for the parts of a URL and the
// encoder that uses them.
//
// A CharacterSet is a set of bytes. The sets that say what a URL part allows
// hold only ASCII: a byte of 0x80 or above is never allowed, so every byte of
// a non-ASCII character is encoded. The denied sets are their inverses and
// therefore hold every non-ASCII byte.
//
// Thread-safety: CharacterSet is a value; the named sets are immutable and may
// be used from any thread, as may urlEncoded().

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tavrino/export.hpp"

namespace tavrino {

class TAVRINO_EXPORT CharacterSet {
 public:
  // The empty set.
  constexpr CharacterSet() = default;

  // Returns the set of the bytes of ascii.
  // REQUIRES: every byte of ascii is below 0x80.
  static CharacterSet of(std::string_view ascii);
  // Returns the set of ASCII letters and digits.
  static CharacterSet alphanumerics();

  // Letters, digits and !$&'()*+,-./:;=?@_~
  static const CharacterSet& urlQueryAllowed();
  // Letters, digits and !$&'()*+,-./:=@_~
  static const CharacterSet& urlPathAllowed();
  // Letters, digits and !$&'()*+,-./:;=?@_~
  static const CharacterSet& urlFragmentAllowed();
  // Letters, digits and !$&'()*+,-.:;=[]_~
  static const CharacterSet& urlHostAllowed();

  // urlQueryAllowed without "&" and "?".
  static const CharacterSet& urlQueryParameterAllowed();
  // The inverse of urlQueryAllowed.
  static const CharacterSet& urlQueryDenied();
  // The inverse of urlQueryParameterAllowed.
  static const CharacterSet& urlQueryKeyValueDenied();
  // The inverse of urlPathAllowed.
  static const CharacterSet& urlPathDenied();
  // The inverse of urlFragmentAllowed.
  static const CharacterSet& urlFragmentDenied();
  // The inverse of urlHostAllowed.
  static const CharacterSet& urlHostDenied();
  // The union of the five denied sets above.
  static const CharacterSet& urlDenied();

  // Returns true iff byte is in the set.
  bool contains(unsigned char byte) const { return (bits_[byte >> 6] >> (byte & 63)) & 1u; }
  // Returns the set of every byte not in this set.
  CharacterSet inverted() const;
  // Returns the set of every byte in this set or in other.
  CharacterSet unioned(const CharacterSet& other) const;
  // Returns this set without the bytes of ascii.
  CharacterSet subtracting(std::string_view ascii) const;

  bool operator==(const CharacterSet& other) const = default;

 private:
  void insert(unsigned char byte) { bits_[byte >> 6] |= std::uint64_t{1} << (byte & 63); }

  std::array<std::uint64_t, 4> bits_{};
};

// Returns text with every byte in denying, and every byte of 0x80 or above,
// replaced by "%" and two upper-case hexadecimal digits. Returns nothing when
// text is not valid UTF-8.
TAVRINO_EXPORT std::optional<std::string> urlEncoded(std::string_view text,
                                                     const CharacterSet& denying);

}  // namespace tavrino
