#include "service/json_text.hpp"

namespace tavrino::service {

std::optional<Json> parseJson(std::string_view text, std::string* error) {
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::exception& e) {
    *error = std::string("not JSON: ") + e.what();
    return std::nullopt;
  }
  return document;
}

}  // namespace tavrino::service
