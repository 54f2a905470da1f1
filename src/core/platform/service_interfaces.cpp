#include "tavrino/platform/url_session.hpp"
#include "tavrino/platform/user_defaults.hpp"

namespace tavrino::platform {

UserDefaultsSuite::~UserDefaultsSuite() = default;

UserDefaults::~UserDefaults() = default;

std::optional<std::string> UserDefaultsSuite::string(std::string_view key) {
  std::optional<Value> value = object(key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get_ref<const std::string&>();
}

URLSession::~URLSession() = default;

}  // namespace tavrino::platform
