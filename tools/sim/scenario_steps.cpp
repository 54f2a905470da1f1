// The steps of a scenario: each is an object with exactly one step kind
// ("show", "tap", ...) and an optional "note".

#include <algorithm>
#include <sstream>

#include "sim/scenario_reader.hpp"

namespace tavrino::sim {
namespace {

ShowStep readShow(const Field& step, const Field& value,
                  const std::map<std::string, Screen>& screens) {
  step.onlyMembers({"show", "page", "virtual", "note"});
  ShowStep show;
  show.screen = value.text();
  if (!screens.contains(show.screen)) {
    value.fail("names no screen \"" + show.screen + "\" of \"screens\"");
  }
  if (auto page = step.member("page")) show.page = page->textMap();
  if (auto isVirtual = step.member("virtual")) show.isVirtual = isVirtual->boolean();
  return show;
}

EventStep readEvent(const Field& step, const Field& value) {
  step.onlyMembers({"event", "params", "note"});
  EventStep event{value.text(), {}};
  if (event.name.empty()) value.fail("is empty");
  if (auto params = step.member("params")) event.params = params->textMap();
  return event;
}

CartStep readCart(const Field& value) {
  value.expectObject();
  value.onlyMembers({"id", "quantity", "price", "category", "title", "extra"});
  CartStep cart;
  cart.id = value.required("id").textLike();
  if (auto f = value.member("quantity")) cart.quantity = f->textLike();
  if (auto f = value.member("price")) cart.price = f->textLike();
  if (auto f = value.member("category")) cart.category = f->textLike();
  if (auto f = value.member("title")) cart.title = f->textLike();
  if (auto f = value.member("extra")) {
    f->expectObject();
    cart.extra = f->json();
  }
  return cart;
}

TapStep readTap(const Field& value) {
  value.expectObject();
  value.onlyMembers({"kind", "title", "id", "text", "image", "link", "index"});
  TapStep tap;
  if (auto f = value.member("kind")) tap.kind = f->text();
  if (auto f = value.member("title")) tap.title = f->text();
  if (auto f = value.member("id")) tap.id = f->text();
  if (auto f = value.member("text")) tap.text = f->text();
  if (auto f = value.member("image")) tap.image = f->boolean();
  if (auto f = value.member("link")) tap.link = f->text();
  if (auto f = value.member("index")) tap.index = f->whole(0, 1000);
  if (!tap.kind && !tap.title && !tap.id && !tap.text && !tap.image) {
    value.fail("needs at least one of kind, title, id, text, image to find the view");
  }
  return tap;
}

ShakeStep readShake(const Field& value) {
  value.expectObject();
  value.onlyMembers({"x", "y", "z", "ms"});
  ShakeStep shake;
  if (auto f = value.member("x")) shake.x = f->number();
  if (auto f = value.member("y")) shake.y = f->number();
  if (auto f = value.member("z")) shake.z = f->number();
  if (auto f = value.member("ms")) shake.milliseconds = f->whole(20, 10000);
  return shake;
}

ListingBadgesStep readListingBadges(const Field& value) {
  value.expectArray();
  for (std::size_t i = 0; i < value.json().size(); ++i) {
    const Field item = value.element(i);
    item.expectObject();
    item.onlyMembers({"i", "p"});
    item.required("i").textLike();
    if (auto price = item.member("p")) price->textLike();
  }
  return {value.json()};
}

InboxStep readInbox(const Field& value) {
  value.expectObject();
  value.onlyMembers({"category", "categoriesFromService"});
  InboxStep inbox;
  if (auto f = value.member("category")) inbox.category = f->text();
  if (auto f = value.member("categoriesFromService")) inbox.categoriesFromService = f->boolean();
  return inbox;
}

WaitStep readWait(const Field& value) {
  const double seconds = value.number();
  if (seconds < 0 || seconds > 600) value.fail("must be from 0 to 600 seconds");
  return {seconds};
}

PushStep readPush(const Field& value) {
  value.expectObject();
  value.onlyMembers({"payload", "imageKey"});
  PushStep push;
  const Field payload = value.required("payload");
  payload.expectObject();
  push.payload = payload.json();
  if (auto f = value.member("imageKey")) push.imageKey = f->text();
  if (auto buttons = payload.member("actionButtons")) {
    buttons->expectArray();
    for (std::size_t i = 0; i < buttons->json().size(); ++i) {
      const Field button = buttons->element(i);
      button.expectObject();
      button.required("id").textLike();
    }
  }
  return push;
}

PushTapStep readPushTap(const Field& value) {
  value.expectObject();
  value.onlyMembers({"action"});
  PushTapStep tap;
  if (auto f = value.member("action")) tap.action = f->text();
  if (tap.action.empty()) value.fail("needs a non-empty \"action\"");
  return tap;
}

std::string pairs(const TextMap& map) {
  std::string text;
  for (const auto& [key, value] : map) text += " " + key + "=" + value;
  return text;
}

struct Describer {
  std::string operator()(const ShowStep& s) const {
    return (s.isVirtual ? "page view on " : "show ") + s.screen + pairs(s.page);
  }
  std::string operator()(const EventStep& s) const { return "event " + s.name + pairs(s.params); }
  std::string operator()(const CartStep& s) const {
    return "cart item " + s.id + " x" + s.quantity + " at " + s.price;
  }
  std::string operator()(const DeepLinkStep& s) const { return "deep link " + s.url; }
  std::string operator()(const TapStep& s) const {
    std::string text = "tap";
    if (s.kind) text += " " + *s.kind;
    if (s.id) text += " #" + *s.id;
    if (s.title) text += " \"" + *s.title + "\"";
    if (s.text) text += " text \"" + *s.text + "\"";
    if (s.image) text += *s.image ? " with image" : " without image";
    if (s.link) text += " link " + *s.link;
    if (s.index > 0) text += " (match " + std::to_string(s.index) + ")";
    return text;
  }
  std::string operator()(const ShakeStep& s) const {
    std::ostringstream out;
    out << "shake the device (" << s.x << ", " << s.y << ", " << s.z << " g for " << s.milliseconds
        << " ms)";
    return out.str();
  }
  std::string operator()(const ListingBadgesStep& s) const {
    return "list items " + s.items.dump() + " and activate listing badges";
  }
  std::string operator()(const InboxStep& s) const {
    std::string text = "open the inbox";
    if (s.category) text += " at category \"" + *s.category + "\"";
    if (s.categoriesFromService) text += " (categories from the service)";
    return text;
  }
  std::string operator()(const WaitStep& s) const {
    std::ostringstream out;
    out << "wait " << s.seconds << " s";
    return out.str();
  }
  std::string operator()(const PushStep& s) const {
    const auto zbid = s.payload.find("zbid");
    return "push arrives" +
           (zbid != s.payload.end() ? " (campaign " + zbid->dump() + ")" : std::string());
  }
  std::string operator()(const PushTapStep& s) const {
    return s.action == "organic" ? "tap the notification" : "tap notification button " + s.action;
  }
};

}  // namespace

const std::vector<std::string>& stepKinds() {
  static const std::vector<std::string> kinds = {"show", "event", "cart",          "deepLink",
                                                 "tap",  "shake", "listingBadges", "inbox",
                                                 "wait", "push",  "pushTap"};
  return kinds;
}

std::string describe(const Step& step) {
  return std::visit(Describer{}, step.action);
}

Step readStep(const Field& field, const std::map<std::string, Screen>& screens) {
  field.expectObject();
  std::vector<std::string> found;
  for (const auto& kind : stepKinds()) {
    if (field.json().contains(kind)) found.push_back(kind);
  }
  if (found.size() != 1) {
    std::string list;
    for (const auto& kind : stepKinds()) list += (list.empty() ? "" : ", ") + kind;
    field.fail(found.empty()
                   ? "names no step kind (one of " + list + ")"
                   : "names two step kinds, \"" + found[0] + "\" and \"" + found[1] + "\"");
  }
  const std::string& kind = found[0];
  const Field value = field.required(kind);
  Step step;
  if (auto note = field.member("note")) step.note = note->text();
  // Steps whose value is the whole step take no other member but the note.
  const auto alone = [&] { field.onlyMembers({kind, "note"}); };
  if (kind == "show") {
    step.action = readShow(field, value, screens);
  } else if (kind == "event") {
    step.action = readEvent(field, value);
  } else if (kind == "cart") {
    alone();
    step.action = readCart(value);
  } else if (kind == "deepLink") {
    alone();
    step.action = DeepLinkStep{value.text()};
  } else if (kind == "tap") {
    alone();
    step.action = readTap(value);
  } else if (kind == "shake") {
    alone();
    step.action = readShake(value);
  } else if (kind == "listingBadges") {
    alone();
    step.action = readListingBadges(value);
  } else if (kind == "inbox") {
    alone();
    step.action = readInbox(value);
  } else if (kind == "wait") {
    alone();
    step.action = readWait(value);
  } else if (kind == "push") {
    alone();
    step.action = readPush(value);
  } else {
    alone();
    step.action = readPushTap(value);
  }
  return step;
}

}  // namespace tavrino::sim
