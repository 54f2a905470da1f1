#pragma once

// Readers of answers, payloads and parameter maps. None of them throws: a
// parse failure gives the empty result and a line on the console.

#include <string>
#include <string_view>
#include <vector>

#include "tavrino/export.hpp"
#include "tavrino/value.hpp"

namespace tavrino::Util {

// The text-value rule: the default when the key is absent, its value null, or
// params not a map; else the value's textual description, unless that is the
// empty text or a single blank, which also give the default.
TAVRINO_EXPORT std::string tryCatch(const Value& params, std::string_view key,
                                    std::string_view defaultValue);

// A JSON object; the empty map for anything else.
TAVRINO_EXPORT Value parseJSONObject(const Data& data);
// A JSON object whose values are all texts; else the empty map.
TAVRINO_EXPORT StringMap parseJSONObjectFromString(std::string_view json_string);
// A JSON object; else the empty map.
TAVRINO_EXPORT Value parseMutableJSONObjectFromString(std::string_view json_string);
// A JSON array; else the empty list.
TAVRINO_EXPORT Value parseJSONArray(const Data& data);
TAVRINO_EXPORT Value parseJSONArray(std::string_view json_array_string);
// A JSON array of objects whose values are all texts; else the empty list.
TAVRINO_EXPORT std::vector<StringMap> parseJSONArrayFromString(std::string_view json_string);
// A JSON array of objects; else the empty list.
TAVRINO_EXPORT Value parseJSONMutableArrayFromString(std::string_view json_string);
TAVRINO_EXPORT Value parseJSONMutableArrayFromString2(std::string_view json_string);
// The JSON text of a map; the empty text when it cannot be written.
TAVRINO_EXPORT std::string parseMutableDictionaryToString(const Value& dict);

}  // namespace tavrino::Util
