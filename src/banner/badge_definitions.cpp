#include "tavrino/banner/badge_definitions.hpp"

namespace tavrino::banner {

BadgeDefinitions& BadgeDefinitions::shared() {
  static BadgeDefinitions definitions;
  return definitions;
}

void BadgeDefinitions::set(std::string_view key, Value definition) {
  std::lock_guard lock(mu_);
  definitions_[std::string(key)] = std::move(definition);
}

std::optional<Value> BadgeDefinitions::get(std::string_view key) const {
  std::lock_guard lock(mu_);
  const auto found = definitions_.find(std::string(key));
  if (found == definitions_.end()) return std::nullopt;
  return *found;
}

Value BadgeDefinitions::all() const {
  std::lock_guard lock(mu_);
  return definitions_;
}

std::size_t BadgeDefinitions::size() const {
  std::lock_guard lock(mu_);
  return definitions_.size();
}

void BadgeDefinitions::setImage(std::string_view key, ui::Image image) {
  std::lock_guard lock(mu_);
  images_.insert_or_assign(std::string(key), std::move(image));
}

ui::Image BadgeDefinitions::image(std::string_view key) const {
  std::lock_guard lock(mu_);
  const auto found = images_.find(key);
  return found == images_.end() ? ui::Image() : found->second;
}

void BadgeDefinitions::clear() {
  std::lock_guard lock(mu_);
  definitions_ = Value::object();
  images_.clear();
}

}  // namespace tavrino::banner
