// The definition a badge campaign leaves for the listing badges of a screen.

#include "pop_up_build.hpp"
#include "tavrino/banner/badge_definitions.hpp"
#include "tavrino/util/json_helpers.hpp"

namespace tavrino::banner {
namespace {

// The item ids that get a badge, as a map whose keys are the ids: the
// campaign's "ids" as a map, a list of ids, or a text holding either as JSON
// or ids separated by commas.
Value badgeIds(const Value& params) {
  Value ids = Value::object();
  const auto found = params.is_object() ? params.find("ids") : params.end();
  if (!params.is_object() || found == params.end()) return ids;
  Value source = *found;
  if (source.is_string()) {
    const std::string text = source.get<std::string>();
    if (Value object = Util::parseMutableJSONObjectFromString(text); !object.empty()) {
      source = std::move(object);
    } else if (Value list = Util::parseJSONArray(std::string_view(text)); !list.empty()) {
      source = std::move(list);
    } else {
      std::size_t start = 0;
      while (start <= text.size()) {
        const auto comma = std::min(text.find(',', start), text.size());
        if (comma > start) ids[text.substr(start, comma - start)] = "1";
        start = comma + 1;
      }
      return ids;
    }
  }
  if (source.is_object()) return source;
  if (source.is_array()) {
    for (const auto& id : source) {
      const std::string key = describe(id);
      if (!key.empty() && !id.is_structured()) ids[key] = "1";
    }
  }
  return ids;
}

}  // namespace

void registerBadgeDefinition(const BannerBuild& build) {
  Value definition = Value::object();
  definition["style"] = Util::parseMutableJSONObjectFromString(build.p.bo);
  if (build.params.is_object()) {
    const auto run = build.params.find("run");
    if (run != build.params.end() && run->is_object()) definition["run"] = *run;
  }
  definition["selector"] = build.p.slc;
  definition["function"] = build.function.empty() ? std::string("0") : build.function;
  definition["campaign_message"] = build.p.cap;
  definition["ids"] = badgeIds(build.params);
  BadgeDefinitions::shared().set(build.p.zbid, std::move(definition));
  // Listing badges draw later, without a banner step of their own: an image
  // badge keeps the image its campaign fetched.
  BadgeDefinitions::shared().setImage(build.p.zbid, build.image);
}

}  // namespace tavrino::banner
