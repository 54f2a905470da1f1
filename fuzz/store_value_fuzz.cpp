// The stored form of values: any bytes a store file or an archive could hold.
//
// Invariants: decoding never throws or traps; whatever decodes encodes again,
// and decodes back to the same value (to the same bytes where the value
// holds a NaN, which equals nothing); an archive decodes to a map or to
// nothing, and a map archived again reads back unchanged.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "core/keyed_archive.hpp"
#include "core/value_cbor.hpp"
#include "fuzz_platform.hpp"

using namespace tavrino;

namespace {

[[noreturn]] void fail(const char* what) {
  std::fprintf(stderr, "stored value invariant broken: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::installQuietPlatform();
  const std::span<const std::uint8_t> bytes(data, size);

  if (const std::optional<Value> value = decodeValue(bytes)) {
    if (!nestsWithin(*value, kMaxValueNesting)) fail("decoded past the nesting limit");
    const auto encoded = encodeValue(*value);
    if (!encoded) fail("decoded value does not encode");
    const auto again = decodeValue(*encoded);
    if (!again) fail("encoding does not decode");
    if (*value == *value) {
      if (*again != *value) fail("value changed through the store form");
    } else if (encodeValue(*again) != encoded) {
      fail("value with NaN changed through the store form");
    }
  }

  const Data archive(data, data + size);
  if (const std::optional<Value> map = unarchiveDictionary(archive)) {
    if (!map->is_object()) fail("archive gave something other than a map");
    const Data rearchived = archiveDictionary(*map);
    const auto back = unarchiveDictionary(rearchived);
    if (!back) fail("re-archived map does not read");
    if (*map == *map && *back != *map) fail("map changed through the archive");
  }
  return 0;
}
