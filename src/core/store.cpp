// The store handle and the plain cookie operations.

#include "tavrino/util/store.hpp"

#include <optional>
#include <string>
#include <vector>

#include "tavrino/platform/platform.hpp"

namespace tavrino::Util {

namespace {

// The store for one call, without the lookup and reference count of
// qivDefaults(): reads of single cookies run at every screen change.
platform::UserDefaultsSuite& store() {
  return platform::current().userDefaults().borrowSuite(kDefaultsSuiteName);
}

}  // namespace

std::shared_ptr<platform::UserDefaultsSuite> qivDefaults() {
  return platform::current().userDefaults().suite(kDefaultsSuiteName);
}

void setCookieToQIVDefaults(std::string_view key, std::string_view value) {
  store().set(key, Value(std::string(value)));
}

void setCategoryToQIVDefaults(std::string_view key, const Value& object) {
  store().set(key, object);
}

std::string getCookieToQIVDefaults(std::string_view key, std::string_view defaultValue) {
  std::optional<std::string> text = store().string(key);
  return text ? std::move(*text) : std::string(defaultValue);
}

std::string readDefault(std::string_view key) {
  return getCookieToQIVDefaults(key, "");
}

void removeCookieFromQIVDefaults(std::string_view key) {
  store().remove(key);
}

void removeCookieStartsWith(std::string_view prefix) {
  platform::UserDefaultsSuite& suite = store();
  suite.transaction([&] {
    // Collected first: the visit must not call the suite.
    std::vector<std::string> doomed;
    suite.forEachEntry(prefix,
                       [&](std::string_view key, const Value&) { doomed.emplace_back(key); });
    for (const std::string& key : doomed) suite.remove(key);
  });
}

bool hasCookieWithPrefix(std::string_view prefix) {
  bool found = false;
  store().forEachEntry(prefix, [&](std::string_view, const Value&) { found = true; });
  return found;
}

StringMap _gcvp(std::string_view prefix) {
  StringMap result;
  store().forEachEntry(prefix, [&](std::string_view key, const Value& value) {
    if (!value.is_string()) return;
    const auto& text = value.get_ref<const std::string&>();
    const auto blank = text.find(' ');
    if (blank != std::string::npos) result.emplace(key, text.substr(0, blank));
  });
  return result;
}

}  // namespace tavrino::Util
