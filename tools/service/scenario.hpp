#pragma once

// What the reference service answers: company settings, inbox categories,
// page-view campaigns by query, social-proof counts and images. Read from a
// JSON document whose format tools/service/README.md describes.

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace tavrino::service {

// Keeps member order as written, so answers go out as the scenario spells them.
using Json = nlohmann::ordered_json;

using QueryPairs = std::vector<std::pair<std::string, std::string>>;

struct PageRule {
  // Every pair must occur in the request's query (any occurrence of the key).
  QueryPairs match;
  Json answer;
};

struct SocialProofCount {
  std::string s;  // company id; empty matches any
  std::string t;  // social-proof id ("_spid")
  std::string i;  // item id ("_spiid")
  long long count = 0;
};

struct Scenario {
  Json settings = Json::object();
  // Already in answer form: objects with "NAME".
  Json categories = Json::array();
  std::vector<PageRule> pages;
  std::vector<SocialProofCount> socialProof;
  // Where images come from; empty serves the built-in one-pixel PNG.
  std::filesystem::path images;

  // Returns the scenario a JSON document describes, or nothing with *error
  // set. A relative "images" directory is resolved against baseDirectory.
  static std::optional<Scenario> fromJson(const Json& document,
                                          const std::filesystem::path& baseDirectory,
                                          std::string* error);
  // Reads and parses a scenario file (relative paths resolve against its
  // directory).
  static std::optional<Scenario> load(const std::filesystem::path& file, std::string* error);

  // Returns the answer of the first page rule the query satisfies, or the
  // empty array.
  Json pageAnswer(const QueryPairs& query) const;

  // Returns the social-proof answer for a query carrying "s", "t" and "i":
  // [{i: {t: count}}] for the first matching entry, else the empty array.
  Json socialProofAnswer(const QueryPairs& query) const;
};

}  // namespace tavrino::service
