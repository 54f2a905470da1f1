#pragma once

// Reading a scenario document member by member. Each Field knows where it
// sits ("steps[2].tap.title"), so a mistake is reported at its place; the
// readers throw ScenarioError, which Scenario::fromJson turns into its error
// text.

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/scenario.hpp"

namespace tavrino::sim {

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Field {
 public:
  Field(const Json& value, std::string path) : value_(value), path_(std::move(path)) {}

  const Json& json() const { return value_; }
  const std::string& path() const { return path_; }

  [[noreturn]] void fail(const std::string& what) const;

  // The member, or nothing when absent (null counts as absent).
  std::optional<Field> member(const std::string& name) const;
  Field required(const std::string& name) const;
  Field element(std::size_t index) const;

  // Refuses members other than the allowed ones (catches typos).
  void onlyMembers(const std::vector<std::string>& allowed) const;

  void expectObject() const;
  void expectArray() const;
  std::string text() const;
  // Text, or a number or boolean written as its text.
  std::string textLike() const;
  double number() const;
  int whole(int min, int max) const;
  bool boolean() const;
  // An object whose values are texts (or numbers and booleans as texts).
  TextMap textMap() const;

 private:
  const Json& value_;
  std::string path_;
};

// Reads one step ("steps[i]").
Step readStep(const Field& field, const std::map<std::string, Screen>& screens);

}  // namespace tavrino::sim
