#include "service/scenario.hpp"

#include "service/json_text.hpp"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace tavrino::service {
namespace {

// Scenario files are written by hand: numbers and booleans stand for their
// text as the SDK sends it.
std::optional<std::string> asText(const Json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number_integer()) return std::to_string(value.get<long long>());
  if (value.is_number_unsigned()) return std::to_string(value.get<unsigned long long>());
  if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
  return std::nullopt;
}

bool fail(std::string* error, std::string message) {
  if (error != nullptr) *error = std::move(message);
  return false;
}

bool readCategories(const Json& list, Json* out, std::string* error) {
  if (!list.is_array()) return fail(error, "\"categories\" must be an array");
  for (const auto& entry : list) {
    if (entry.is_string()) {
      out->push_back(Json{{"NAME", entry}});
    } else if (entry.is_object()) {
      out->push_back(entry);
    } else {
      return fail(error, "a category must be a name or an object");
    }
  }
  return true;
}

bool readPages(const Json& list, std::vector<PageRule>* out, std::string* error) {
  if (!list.is_array()) return fail(error, "\"pages\" must be an array");
  for (const auto& entry : list) {
    if (!entry.is_object()) return fail(error, "a page rule must be an object");
    PageRule rule;
    if (const auto match = entry.find("match"); match != entry.end()) {
      if (!match->is_object()) return fail(error, "\"match\" must be an object");
      for (const auto& [key, value] : match->items()) {
        auto text = asText(value);
        if (!text) return fail(error, "match value of \"" + key + "\" must be text");
        rule.match.emplace_back(key, *text);
      }
    }
    rule.answer = entry.value("answer", Json::array());
    out->push_back(std::move(rule));
  }
  return true;
}

bool readSocialProof(const Json& list, std::vector<SocialProofCount>* out, std::string* error) {
  if (!list.is_array()) return fail(error, "\"socialProof\" must be an array");
  for (const auto& entry : list) {
    if (!entry.is_object() || !entry.contains("t") || !entry.contains("i")) {
      return fail(error, "a social-proof entry needs \"t\" and \"i\"");
    }
    SocialProofCount count;
    auto t = asText(entry["t"]);
    auto i = asText(entry["i"]);
    auto s = entry.contains("s") ? asText(entry["s"]) : std::optional<std::string>("");
    const Json number = entry.value("count", Json(0));
    if (!t || !i || !s || !number.is_number_integer()) {
      return fail(error, "a social-proof entry needs text ids and a whole \"count\"");
    }
    count.t = *t;
    count.i = *i;
    count.s = *s;
    count.count = number.get<long long>();
    out->push_back(std::move(count));
  }
  return true;
}

bool hasPair(const QueryPairs& query, const std::string& key, const std::string& value) {
  return std::any_of(query.begin(), query.end(),
                     [&](const auto& pair) { return pair.first == key && pair.second == value; });
}

std::string firstValue(const QueryPairs& query, std::string_view key) {
  for (const auto& [k, v] : query) {
    if (k == key) return v;
  }
  return {};
}

}  // namespace

std::optional<Scenario> Scenario::fromJson(const Json& document,
                                           const std::filesystem::path& baseDirectory,
                                           std::string* error) {
  if (!document.is_object()) {
    fail(error, "a scenario must be a JSON object");
    return std::nullopt;
  }
  Scenario scenario;
  if (const auto settings = document.find("settings"); settings != document.end()) {
    if (!settings->is_object()) {
      fail(error, "\"settings\" must be an object");
      return std::nullopt;
    }
    scenario.settings = *settings;
  }
  if (document.contains("categories") &&
      !readCategories(document["categories"], &scenario.categories, error)) {
    return std::nullopt;
  }
  if (document.contains("pages") && !readPages(document["pages"], &scenario.pages, error)) {
    return std::nullopt;
  }
  if (document.contains("socialProof") &&
      !readSocialProof(document["socialProof"], &scenario.socialProof, error)) {
    return std::nullopt;
  }
  if (const auto images = document.find("images"); images != document.end()) {
    if (!images->is_string()) {
      fail(error, "\"images\" must be a directory name");
      return std::nullopt;
    }
    std::filesystem::path directory = images->get<std::string>();
    if (!directory.empty() && directory.is_relative()) directory = baseDirectory / directory;
    scenario.images = directory;
  }
  return scenario;
}

std::optional<Scenario> Scenario::load(const std::filesystem::path& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    fail(error, "cannot read " + file.string());
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string why;
  const std::optional<Json> document = parseJson(text.str(), &why);
  if (!document) {
    fail(error, file.string() + " is " + why);
    return std::nullopt;
  }
  return fromJson(*document, file.parent_path(), error);
}

Json Scenario::pageAnswer(const QueryPairs& query) const {
  for (const auto& rule : pages) {
    const bool matches = std::all_of(rule.match.begin(), rule.match.end(), [&](const auto& pair) {
      return hasPair(query, pair.first, pair.second);
    });
    if (matches) return rule.answer;
  }
  return Json::array();
}

Json Scenario::socialProofAnswer(const QueryPairs& query) const {
  const std::string s = firstValue(query, "s");
  const std::string t = firstValue(query, "t");
  const std::string i = firstValue(query, "i");
  for (const auto& entry : socialProof) {
    if (entry.t == t && entry.i == i && (entry.s.empty() || entry.s == s)) {
      return Json::array({Json{{i, Json{{t, entry.count}}}}});
    }
  }
  return Json::array();
}

}  // namespace tavrino::service
