#pragma once

// A simulator scenario: the host application the simulator plays (its SDK
// set-up, screens and host methods) and the steps the user takes. Read from a
// JSON document whose format docs/simulator.md describes; every mistake is
// reported with where it is ("steps[3].tap: ...").

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tavrino/value.hpp"

namespace tavrino::sim {

using Json = nlohmann::ordered_json;
using TextMap = std::map<std::string, std::string>;

struct Rgba {
  double red = 0, green = 0, blue = 0, alpha = 1;
};

// One of the host's own views on a screen.
struct HostView {
  enum class Kind { box, text, button };
  Kind kind = Kind::box;
  // Restoration identifier (inline frames and listing items are found by it).
  std::string id;
  double x = 0, y = 0, width = 0, height = 0;
  std::optional<Rgba> background;
  std::string text;  // text views and button titles
};

struct Screen {
  std::string name;       // the scenario's name for it ("Home")
  std::string className;  // what the SDK reports and looks host methods up by
  bool navigation = false;
  std::optional<Rgba> background;
  std::vector<HostView> views;
};

// A host method campaigns may call by name: "Class.method:".
struct HostMethod {
  std::string className;
  std::string selector;
};

struct SdkSetup {
  std::string companyId = "1234";
  std::string apiKey = "sim-key";
  bool companySettings = true;
  bool appInbox = true;
  std::string appGroup;
  std::optional<std::vector<std::string>> allowedDomains;
  std::optional<Json> allowedFunctions;
  // Store entries written before the first step.
  TextMap store;
  // Registers for pushes at start; the platform then hands over the token.
  bool push = false;
  Data deviceToken;
};

// --- Steps ---

struct ShowStep {
  std::string screen;
  TextMap page;
  // A page view inside the shown screen (its banners stay).
  bool isVirtual = false;
};
struct EventStep {
  std::string name;
  TextMap params;
};
struct CartStep {
  std::string id, quantity = "1", price = "0", category, title;
  std::optional<Json> extra;
};
struct DeepLinkStep {
  std::string url;
};
// Finds a view on screen by what a user would see of it; every given field
// must match. A link taps that address inside the matching web view.
struct TapStep {
  std::optional<std::string> kind, title, id, text, link;
  // Only buttons that show an image (true) or none (false).
  std::optional<bool> image;
  int index = 0;  // the n-th match, front to back
};
struct ShakeStep {
  double x = 2.5, y = 2.5, z = 2.5;
  int milliseconds = 300;
};
struct ListingBadgesStep {
  Json items;  // [{"i": id, "p": price}]
};
struct InboxStep {
  // Empty: every category.
  std::optional<std::string> category;
  bool categoriesFromService = false;
};
struct WaitStep {
  double seconds = 0;
};
struct PushStep {
  Json payload;
  std::string imageKey = "m";
};
struct PushTapStep {
  // "organic" for the notification itself, else an action button's id.
  std::string action = "organic";
};

using StepAction = std::variant<ShowStep, EventStep, CartStep, DeepLinkStep, TapStep, ShakeStep,
                                ListingBadgesStep, InboxStep, WaitStep, PushStep, PushTapStep>;

struct Step {
  StepAction action;
  std::string note;
};

// The names of the step kinds, as written in a scenario.
const std::vector<std::string>& stepKinds();
// A one-line description of what the host does in the step.
std::string describe(const Step& step);

struct Scenario {
  std::string name = "scenario";
  // The reference service's scenario for the in-process service; resolved
  // against the scenario file's directory. Empty: the service answers nothing.
  std::filesystem::path serviceScenario;
  SdkSetup sdk;
  std::map<std::string, Screen> screens;
  std::vector<HostMethod> hostMethods;
  std::vector<Step> steps;

  // Returns the scenario the document describes, or nothing with *error set.
  static std::optional<Scenario> fromJson(const Json& document,
                                          const std::filesystem::path& baseDirectory,
                                          std::string* error);
  // Reads a scenario file; *error names the file and the place of a mistake.
  static std::optional<Scenario> load(const std::filesystem::path& file, std::string* error);
};

// "#rrggbb" or "#rrggbbaa"; nothing for any other text.
std::optional<Rgba> parseColour(const std::string& text);

}  // namespace tavrino::sim
