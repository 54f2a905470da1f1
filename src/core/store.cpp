// The store handle and the plain cookie operations.

#include "tavrino/util/store.hpp"

#include "tavrino/platform/platform.hpp"

namespace tavrino::Util {

std::shared_ptr<platform::UserDefaultsSuite> qivDefaults() {
  return platform::current().userDefaults().suite(kDefaultsSuiteName);
}

void setCookieToQIVDefaults(std::string_view key, std::string_view value) {
  qivDefaults()->set(key, Value(std::string(value)));
}

void setCategoryToQIVDefaults(std::string_view key, const Value& object) {
  qivDefaults()->set(key, object);
}

std::string getCookieToQIVDefaults(std::string_view key, std::string_view defaultValue) {
  auto text = qivDefaults()->string(key);
  return text ? *text : std::string(defaultValue);
}

std::string readDefault(std::string_view key) {
  return getCookieToQIVDefaults(key, "");
}

void removeCookieFromQIVDefaults(std::string_view key) {
  qivDefaults()->remove(key);
}

void removeCookieStartsWith(std::string_view prefix) {
  auto suite = qivDefaults();
  suite->transaction([&] {
    for (const auto& [key, value] : suite->dictionaryRepresentation()) {
      if (key.starts_with(prefix)) suite->remove(key);
    }
  });
}

bool hasCookieWithPrefix(std::string_view prefix) {
  for (const auto& [key, value] : qivDefaults()->dictionaryRepresentation()) {
    if (key.starts_with(prefix)) return true;
  }
  return false;
}

StringMap _gcvp(std::string_view prefix) {
  StringMap result;
  for (const auto& [key, value] : qivDefaults()->dictionaryRepresentation()) {
    if (!key.starts_with(prefix) || !value.is_string()) continue;
    const auto& text = value.get_ref<const std::string&>();
    const auto blank = text.find(' ');
    if (blank != std::string::npos) result[key] = text.substr(0, blank);
  }
  return result;
}

}  // namespace tavrino::Util
