#pragma once

// The SDK's archive of a dictionary: its CBOR encoding. Every caller that
// archives a map into a store entry uses this one pair.

#include <optional>

#include "tavrino/value.hpp"

namespace tavrino {

// Returns the archive of a map; empty data when it nests too deep to store.
// REQUIRES: dictionary is a map.
Data archiveDictionary(const Value& dictionary);

// Returns the map an archive holds; nothing when the data is not the CBOR
// encoding of a map.
std::optional<Value> unarchiveDictionary(const Data& data);

}  // namespace tavrino
