#pragma once

// Reading a notification payload whose entries may be of any kind. An entry
// of an unexpected kind is skipped with a debug log line naming it, so a
// malformed payload degrades to "entry absent", never to a crash.

#include <optional>
#include <string>
#include <string_view>

#include "tavrino/value.hpp"

namespace tavrino::push {

// The member of map under key; null when map is no map or lacks it.
const Value* member(const Value& map, std::string_view key);

// Returns true iff map is a map that has key (of any kind).
bool hasMember(const Value& map, std::string_view key);

// The entry under key as text: text as is, numbers in decimal. Absent or
// null gives nothing silently; any other kind gives nothing and the log line
// "push payload entry skipped, unexpected kind : " + key.
std::optional<std::string> textEntry(const Value& map, std::string_view key);

// The entry under key only when it is text; any other kind is skipped with
// the log line above.
std::optional<std::string> strictTextEntry(const Value& map, std::string_view key);

// The campaign identifier ("zbid") by the rule of textEntry().
std::optional<std::string> campaignId(const Value& payload);

// The entry under key when it is a map or a list of the wanted kind; any
// other kind is skipped with the log line above.
const Value* mapEntry(const Value& map, std::string_view key);
const Value* listEntry(const Value& map, std::string_view key);

// Writes the log line for an entry of an unexpected kind.
void logSkippedEntry(std::string_view key);

}  // namespace tavrino::push
