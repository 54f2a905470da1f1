#include "tavrino/util/json_helpers.hpp"

namespace tavrino::Util {

std::string tryCatch(const Value& params, std::string_view key, std::string_view defaultValue) {
  if (!params.is_object()) return std::string(defaultValue);
  const auto it = params.find(key);
  if (it == params.end() || it->is_null()) return std::string(defaultValue);
  std::string text = describe(*it);
  if (text.empty() || text == " ") return std::string(defaultValue);
  return text;
}

}  // namespace tavrino::Util
