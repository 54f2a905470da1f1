#include "core/value_cbor.hpp"

#include <exception>
#include <limits>
#include <utility>

namespace tavrino {
namespace {

constexpr std::uint64_t kIndefinite = std::numeric_limits<std::uint64_t>::max();

// Returns true iff bytes hold exactly one well-formed CBOR item whose
// containers (and tags) nest at most limit deep. Only the framing is checked
// here, iteratively; the library's decoder checks the rest.
bool cborFramedWithin(std::span<const std::uint8_t> bytes, std::size_t limit) {
  const std::size_t size = bytes.size();
  std::size_t pos = 0;
  // Items still expected by each open container; kIndefinite until its break.
  std::vector<std::uint64_t> open;
  do {
    if (pos >= size) return false;
    const std::uint8_t head = bytes[pos++];
    if (head == 0xFF) {
      if (open.empty() || open.back() != kIndefinite) return false;
      open.pop_back();
    } else {
      if (!open.empty() && open.back() != kIndefinite) --open.back();
      const unsigned major = head >> 5;
      const unsigned info = head & 0x1F;
      std::uint64_t argument = info;
      if (info >= 24 && info <= 27) {
        const std::size_t length = std::size_t{1} << (info - 24);
        if (size - pos < length) return false;
        argument = 0;
        for (std::size_t i = 0; i < length; ++i) argument = (argument << 8) | bytes[pos++];
      } else if (info == 31) {
        if (major != 2 && major != 3 && major != 4 && major != 5) return false;
        argument = kIndefinite;
      } else if (info > 27) {
        return false;
      }
      switch (major) {
        case 2:
        case 3:
          if (argument == kIndefinite) {
            open.push_back(kIndefinite);
          } else {
            if (size - pos < argument) return false;
            pos += static_cast<std::size_t>(argument);
          }
          break;
        case 4:
        case 5:
          if (argument == kIndefinite) {
            open.push_back(kIndefinite);
          } else if (argument > 0) {
            // Every item takes at least one byte.
            if (argument > size - pos) return false;
            open.push_back(major == 5 ? argument * 2 : argument);
          }
          break;
        case 6:
          open.push_back(1);
          break;
        default:
          break;
      }
      if (open.size() > limit) return false;
    }
    while (!open.empty() && open.back() == 0) open.pop_back();
  } while (!open.empty());
  return pos == size;
}

}  // namespace

bool nestsWithin(const Value& root, std::size_t limit) {
  std::vector<std::pair<const Value*, std::size_t>> pending{{&root, 0}};
  while (!pending.empty()) {
    auto [node, depth] = pending.back();
    pending.pop_back();
    if (node->is_discarded()) return false;
    if (!node->is_structured()) continue;
    if (depth >= limit) return false;
    for (const Value& child : *node) pending.emplace_back(&child, depth + 1);
  }
  return true;
}

bool jsonTextNestsWithin(std::string_view text, std::size_t limit) {
  std::size_t depth = 0;
  bool inString = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > limit) return false;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return true;
}

std::optional<std::vector<std::uint8_t>> encodeValue(const Value& value) {
  try {
    if (!nestsWithin(value, kMaxValueNesting)) return std::nullopt;
    std::vector<std::uint8_t> bytes = Value::to_cbor(value);
    if (bytes.empty()) return std::nullopt;
    return bytes;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<Value> decodeValue(std::span<const std::uint8_t> bytes) {
  try {
    if (!cborFramedWithin(bytes, kMaxValueNesting)) return std::nullopt;
    Value value = Value::from_cbor(bytes.begin(), bytes.end(), /*strict=*/true,
                                   /*allow_exceptions=*/false, Value::cbor_tag_handler_t::store);
    if (value.is_discarded()) return std::nullopt;
    return value;
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace tavrino
