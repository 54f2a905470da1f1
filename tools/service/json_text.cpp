#include "service/json_text.hpp"

namespace tavrino::service {

std::optional<Json> parseJson(std::string_view text, std::string* error) {
  bool tooDeep = false;
  // The parser keeps its own stack; refusing a level here keeps it and
  // everything inside out of the document.
  const Json::parser_callback_t bound = [&](int depth, Json::parse_event_t event, Json&) {
    if ((event == Json::parse_event_t::object_start || event == Json::parse_event_t::array_start) &&
        static_cast<std::size_t>(depth) >= kMaxJsonNesting) {
      tooDeep = true;
      return false;
    }
    return true;
  };
  Json document;
  try {
    document = Json::parse(text, bound);
  } catch (const Json::exception& e) {
    *error = std::string("not JSON: ") + e.what();
    return std::nullopt;
  }
  if (tooDeep) {
    *error = "nested deeper than " + std::to_string(kMaxJsonNesting);
    return std::nullopt;
  }
  return document;
}

}  // namespace tavrino::service
