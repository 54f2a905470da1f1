#include "sim/scenario.hpp"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "service/json_text.hpp"
#include "sim/scenario_reader.hpp"

namespace tavrino::sim {
namespace {

std::string typeName(const Json& value) {
  if (value.is_number()) return "a number";
  if (value.is_string()) return "a text";
  if (value.is_boolean()) return "a boolean";
  if (value.is_array()) return "a list";
  if (value.is_object()) return "an object";
  return "null";
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<Rgba> colourOf(const Field& field) {
  auto colour = parseColour(field.text());
  if (!colour) field.fail("is not a colour \"#rrggbb\" or \"#rrggbbaa\"");
  return colour;
}

HostView readHostView(const Field& field) {
  field.expectObject();
  field.onlyMembers({"id", "frame", "background", "text", "button"});
  HostView view;
  if (auto id = field.member("id")) view.id = id->text();
  const Field frame = field.required("frame");
  frame.expectArray();
  if (frame.json().size() != 4) frame.fail("needs four numbers: x, y, width, height");
  view.x = frame.element(0).number();
  view.y = frame.element(1).number();
  view.width = frame.element(2).number();
  view.height = frame.element(3).number();
  if (view.width < 0 || view.height < 0) frame.fail("has a negative size");
  if (auto background = field.member("background")) view.background = colourOf(*background);
  const auto text = field.member("text");
  const auto button = field.member("button");
  if (text && button) field.fail("is either a \"text\" or a \"button\", not both");
  if (text) {
    view.kind = HostView::Kind::text;
    view.text = text->text();
  } else if (button) {
    view.kind = HostView::Kind::button;
    view.text = button->text();
  }
  return view;
}

Screen readScreen(const std::string& name, const Field& field) {
  field.expectObject();
  field.onlyMembers({"class", "navigation", "background", "views"});
  Screen screen;
  screen.name = name;
  screen.className = field.required("class").text();
  if (screen.className.empty()) field.required("class").fail("is empty");
  if (auto navigation = field.member("navigation")) screen.navigation = navigation->boolean();
  if (auto background = field.member("background")) screen.background = colourOf(*background);
  if (auto views = field.member("views")) {
    views->expectArray();
    for (std::size_t i = 0; i < views->json().size(); ++i) {
      screen.views.push_back(readHostView(views->element(i)));
    }
  }
  return screen;
}

HostMethod readHostMethod(const Field& field) {
  const std::string text = field.text();
  const auto dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 >= text.size() || text.back() != ':' ||
      text.size() - dot < 3) {
    field.fail("is not \"Class.method:\"");
  }
  return {text.substr(0, dot), text.substr(dot + 1)};
}

SdkSetup readSetup(const Field& field) {
  field.expectObject();
  field.onlyMembers({"companyId", "apiKey", "companySettings", "appInbox", "appGroup",
                     "allowedDomains", "allowedFunctions", "store", "push", "deviceToken"});
  SdkSetup sdk;
  if (auto f = field.member("companyId")) sdk.companyId = f->textLike();
  if (auto f = field.member("apiKey")) sdk.apiKey = f->text();
  if (auto f = field.member("companySettings")) sdk.companySettings = f->boolean();
  if (auto f = field.member("appInbox")) sdk.appInbox = f->boolean();
  if (auto f = field.member("appGroup")) sdk.appGroup = f->text();
  if (auto f = field.member("allowedDomains")) {
    f->expectArray();
    std::vector<std::string> domains;
    for (std::size_t i = 0; i < f->json().size(); ++i) domains.push_back(f->element(i).text());
    sdk.allowedDomains = std::move(domains);
  }
  if (auto f = field.member("allowedFunctions")) {
    f->expectObject();
    sdk.allowedFunctions = f->json();
  }
  if (auto f = field.member("store")) sdk.store = f->textMap();
  if (auto f = field.member("push")) sdk.push = f->boolean();
  if (auto f = field.member("deviceToken")) {
    const std::string hex = f->text();
    if (hex.empty() || hex.size() % 2 != 0 ||
        hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      f->fail("is not a device token in hexadecimal");
    }
    for (std::size_t i = 0; i < hex.size(); i += 2) {
      sdk.deviceToken.push_back(
          static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
  }
  return sdk;
}

}  // namespace

void Field::fail(const std::string& what) const {
  throw ScenarioError(path_ + ": " + what);
}

std::optional<Field> Field::member(const std::string& name) const {
  expectObject();
  const auto it = value_.find(name);
  if (it == value_.end() || it->is_null()) return std::nullopt;
  return Field(*it, path_.empty() ? name : path_ + "." + name);
}

Field Field::required(const std::string& name) const {
  auto found = member(name);
  if (!found) fail("needs \"" + name + "\"");
  return *found;
}

Field Field::element(std::size_t index) const {
  return Field(value_.at(index), path_ + "[" + std::to_string(index) + "]");
}

void Field::onlyMembers(const std::vector<std::string>& allowed) const {
  for (const auto& [key, value] : value_.items()) {
    if (std::find(allowed.begin(), allowed.end(), key) != allowed.end()) continue;
    std::string list;
    for (const auto& name : allowed) list += (list.empty() ? "" : ", ") + name;
    fail("unknown member \"" + key + "\" (expected " + list + ")");
  }
}

void Field::expectObject() const {
  if (!value_.is_object()) fail("must be an object, not " + typeName(value_));
}

void Field::expectArray() const {
  if (!value_.is_array()) fail("must be a list, not " + typeName(value_));
}

std::string Field::text() const {
  if (!value_.is_string()) fail("must be a text, not " + typeName(value_));
  return value_.get<std::string>();
}

std::string Field::textLike() const {
  if (value_.is_string()) return value_.get<std::string>();
  if (value_.is_boolean()) return value_.get<bool>() ? "1" : "0";
  if (value_.is_number_integer()) return value_.dump();
  if (value_.is_number()) {
    std::ostringstream out;
    out << value_.get<double>();
    return out.str();
  }
  fail("must be a text or a number, not " + typeName(value_));
}

double Field::number() const {
  if (!value_.is_number()) fail("must be a number, not " + typeName(value_));
  const double n = value_.get<double>();
  if (!std::isfinite(n)) fail("must be a finite number");
  return n;
}

int Field::whole(int min, int max) const {
  const double n = number();
  if (n != std::floor(n) || n < min || n > max) {
    fail("must be a whole number from " + std::to_string(min) + " to " + std::to_string(max));
  }
  return static_cast<int>(n);
}

bool Field::boolean() const {
  if (!value_.is_boolean()) fail("must be true or false, not " + typeName(value_));
  return value_.get<bool>();
}

TextMap Field::textMap() const {
  expectObject();
  TextMap map;
  for (const auto& [key, value] : value_.items()) {
    map[key] = Field(value, path_ + "." + key).textLike();
  }
  return map;
}

std::optional<Rgba> parseColour(const std::string& text) {
  if (text.size() != 7 && text.size() != 9) return std::nullopt;
  if (text[0] != '#') return std::nullopt;
  double parts[4] = {0, 0, 0, 255};
  for (std::size_t i = 1, part = 0; i < text.size(); i += 2, ++part) {
    const int high = hexDigit(text[i]), low = hexDigit(text[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    parts[part] = high * 16 + low;
  }
  return Rgba{parts[0] / 255, parts[1] / 255, parts[2] / 255, parts[3] / 255};
}

std::optional<Scenario> Scenario::fromJson(const Json& document,
                                           const std::filesystem::path& baseDirectory,
                                           std::string* error) {
  try {
    const Field root(document, "");
    if (!document.is_object()) throw ScenarioError("the scenario must be a JSON object");
    root.onlyMembers({"name", "service", "sdk", "screens", "hostMethods", "steps"});
    Scenario scenario;
    if (auto name = root.member("name")) scenario.name = name->text();
    if (auto service = root.member("service")) {
      const std::filesystem::path path = service->text();
      scenario.serviceScenario = path.is_absolute() ? path : baseDirectory / path;
    }
    if (auto sdk = root.member("sdk")) scenario.sdk = readSetup(*sdk);
    if (auto screens = root.member("screens")) {
      screens->expectObject();
      for (const auto& [name, value] : screens->json().items()) {
        scenario.screens[name] = readScreen(name, Field(value, "screens." + name));
      }
    }
    if (auto methods = root.member("hostMethods")) {
      methods->expectArray();
      for (std::size_t i = 0; i < methods->json().size(); ++i) {
        scenario.hostMethods.push_back(readHostMethod(methods->element(i)));
      }
    }
    const Field steps = root.required("steps");
    steps.expectArray();
    if (steps.json().empty()) steps.fail("is empty: nothing to play");
    for (std::size_t i = 0; i < steps.json().size(); ++i) {
      scenario.steps.push_back(readStep(steps.element(i), scenario.screens));
    }
    return scenario;
  } catch (const ScenarioError& e) {
    *error = e.what();
  } catch (const std::exception& e) {
    *error = std::string("unreadable scenario: ") + e.what();
  }
  return std::nullopt;
}

std::optional<Scenario> Scenario::load(const std::filesystem::path& file, std::string* error) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    *error = file.string() + ": cannot be read";
    return std::nullopt;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::string why;
  const std::optional<Json> document = service::parseJson(text.str(), &why);
  if (!document) {
    *error = file.string() + ": " + why;
    return std::nullopt;
  }
  auto scenario = fromJson(*document, file.parent_path(), error);
  if (!scenario) *error = file.string() + ": " + *error;
  return scenario;
}

}  // namespace tavrino::sim
