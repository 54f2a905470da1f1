#include "sim/player.hpp"

#include <fstream>

#include "sim/picture.hpp"
#include "tavrino/platform/linux_application.hpp"
#include "tavrino/platform/platform.hpp"

namespace tavrino::sim {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// How long nothing may happen before the SDK counts as settled, and how long
// a step may keep it busy at most.
constexpr auto kQuiet = 150ms;
constexpr auto kMostBusy = 15s;

service::Json pairsJson(const service::QueryPairs& pairs) {
  service::Json list = service::Json::array();
  for (const auto& [key, value] : pairs) list.push_back({key, value});
  return list;
}

std::string shorten(const std::string& value, std::size_t limit = 80) {
  return value.size() <= limit ? value : value.substr(0, limit) + "...";
}

}  // namespace

Player::Player(const Scenario& scenario, SimPlatform& platform, HostApp& host, Timeline& timeline,
               HitSource* hits, std::filesystem::path pictureFolder)
    : scenario_(scenario),
      platform_(platform),
      host_(host),
      timeline_(timeline),
      hitSource_(hits),
      pictureFolder_(std::move(pictureFolder)) {
  store_ = snapshotStore();
}

void Player::play() {
  // What the SDK did on start-up (the company settings) comes first.
  settle();
  report("start");
  for (const Step& step : scenario_.steps) {
    timeline_.setStep(++stepNumber_);
    const std::string what = describe(step);
    Entry entry{EntryKind::host, step.note.empty() ? what : what + "  (" + step.note + ")"};
    entry.data["action"] = what;
    timeline_.emit(std::move(entry));
    perform(step);
    if (const auto* wait = std::get_if<WaitStep>(&step.action)) {
      settle(std::chrono::milliseconds(static_cast<long long>(wait->seconds * 1000)));
    } else {
      settle();
    }
    report(what);
  }
}

void Player::perform(const Step& step) {
  std::visit(
      [this](const auto& action) {
        using T = std::decay_t<decltype(action)>;
        if constexpr (std::is_same_v<T, ShowStep>) doShow(action);
        if constexpr (std::is_same_v<T, EventStep>) doEvent(action);
        if constexpr (std::is_same_v<T, CartStep>) doCart(action);
        if constexpr (std::is_same_v<T, DeepLinkStep>) doDeepLink(action);
        if constexpr (std::is_same_v<T, TapStep>) doTap(action);
        if constexpr (std::is_same_v<T, ShakeStep>) doShake(action);
        if constexpr (std::is_same_v<T, ListingBadgesStep>) doListingBadges(action);
        if constexpr (std::is_same_v<T, InboxStep>) doInbox(action);
        if constexpr (std::is_same_v<T, PushStep>) doPush(action);
        if constexpr (std::is_same_v<T, PushTapStep>) doPushTap(action);
      },
      step.action);
}

void Player::settle(std::chrono::milliseconds atLeast) {
  auto& dispatch = platform_.dispatch();
  const auto start = Clock::now();
  auto quietSince = start;
  std::uint64_t seen = platform_.activity() + host_.mirror().version();
  for (;;) {
    dispatch.runFor(10ms);
    const auto now = Clock::now();
    const std::uint64_t activity = platform_.activity() + host_.mirror().version();
    if (activity != seen) {
      seen = activity;
      quietSince = now;
    }
    const bool calm = platform_.workUnderWay() == 0 && now - quietSince >= kQuiet;
    if (now - start >= atLeast && calm) return;
    if (now - start >= atLeast + kMostBusy) {
      warn("the SDK was still busy after " + std::to_string(kMostBusy.count()) + " s");
      return;
    }
  }
}

void Player::report(const std::string& caption) {
  reportScreen();
  reportStore();
  reportHits();
  reportOpenedUrls();
  if (host_.mirror().version() != picturedVersion_) drawPicture(caption);
}

void Player::reportScreen() {
  Mirror& mirror = host_.mirror();
  const Mirror::Changes changes = mirror.take();
  for (const auto id : changes.appeared) {
    const MirrorNode* node = mirror.find(id);
    if (!node) continue;
    const bool byHost = host_.isHostView(id);
    if (!byHost) ++campaignViews_;
    Entry entry{
        EntryKind::screen,
        (byHost ? "screen " + host_.currentName() + ": " : "appeared: ") + mirror.describe(id)};
    entry.data["change"] = byHost ? "screen" : "appeared";
    entry.data["view"] = {
        {"kind", node->kind},
        {"accessibilityId", node->accessibilityId},
        {"restorationId", node->restorationId},
        {"frame",
         {node->frame.origin.x, node->frame.origin.y, node->frame.width(), node->frame.height()}}};
    timeline_.emit(std::move(entry));
  }
  for (const auto& gone : changes.gone) {
    Entry entry{EntryKind::screen, "gone: " + gone};
    entry.data["change"] = "gone";
    timeline_.emit(std::move(entry));
  }
  if (changes.appeared.empty() && changes.gone.empty() && changes.changed > 0) {
    Entry entry{EntryKind::screen, std::to_string(changes.changed) + " view changes"};
    entry.data["change"] = "changed";
    entry.data["count"] = changes.changed;
    timeline_.emit(std::move(entry));
  }
}

void Player::reportStore() {
  const StoreSnapshot now = snapshotStore();
  for (const auto& change : diffStore(store_, now)) {
    std::string text;
    if (!change.before) {
      text = "+ " + change.key + " = " + shorten(*change.after);
    } else if (!change.after) {
      text = "- " + change.key;
    } else {
      text = "~ " + change.key + " = " + shorten(*change.after);
    }
    if (change.key.starts_with("qivo.custom.events_") && change.after) {
      text += "  (campaigns filed until the host reports event \"" +
              change.key.substr(std::string_view("qivo.custom.events_").size()) + "\")";
    }
    Entry entry{EntryKind::store, text};
    entry.data["key"] = change.key;
    entry.data["before"] = change.before ? service::Json(*change.before) : service::Json();
    entry.data["after"] = change.after ? service::Json(*change.after) : service::Json();
    timeline_.emit(std::move(entry));
  }
  store_ = now;
}

void Player::reportHits() {
  if (!hitSource_) return;
  const auto all = hitSource_->all();
  if (!all) {
    if (!hitsUnavailableNoted_) warn("the service did not tell which requests it received");
    hitsUnavailableNoted_ = true;
    return;
  }
  for (std::size_t i = hitsSeen_.size(); i < all->size(); ++i) {
    const auto& hit = (*all)[i];
    Entry entry{EntryKind::hit, describeHit(hit)};
    entry.data["method"] = hit.method;
    entry.data["path"] = hit.path;
    entry.data["query"] = pairsJson(hit.query);
    if (!hit.body.empty()) entry.data["body"] = hit.body;
    timeline_.emit(std::move(entry));
    hitsSeen_.push_back(hit);
  }
}

void Player::reportOpenedUrls() {
  auto* application = SimPlatform::applicationState();
  if (!application) return;
  const auto opened = application->openedURLs();
  for (std::size_t i = urlsOpened_; i < opened.size(); ++i) {
    Entry entry{EntryKind::host, "the application opens " + opened[i]};
    entry.data["openedUrl"] = opened[i];
    timeline_.emit(std::move(entry));
  }
  urlsOpened_ = opened.size();
}

void Player::drawPicture(const std::string& caption) {
  const Mirror& mirror = host_.mirror();
  picturedVersion_ = mirror.version();
  char number[8];
  std::snprintf(number, sizeof number, "%02d", stepNumber_);
  const std::string base = std::string(number) + "-" + slug(caption);
  if (window_) {
    // A real engine takes its time to load a banner's page; the banner's
    // spinner turns until it has.
    const auto spinning = [&mirror] {
      for (const auto id : mirror.drawingOrder()) {
        const MirrorNode* node = mirror.find(id);
        if (node && node->spinning && mirror.isVisible(*node)) return true;
      }
      return false;
    };
    if (spinning()) {
      platform_.dispatch().runUntil([&] { return !spinning(); }, kMostBusy);
      settle();
    }
    // The window draws itself on the next frames.
    platform_.dispatch().runFor(kQuiet);
    picturedVersion_ = mirror.version();
    const auto png = pictureFolder_ / (base + ".png");
    if (!window_->screenshot(png)) return warn("no screenshot of the window for " + png.string());
    return addPicture(png, "window", caption);
  }
  Picture picture{pictureFolder_ / (base + ".html"), std::nullopt,
                  "step " + std::to_string(stepNumber_) + ": " + caption};
  std::ofstream out(picture.html, std::ios::binary);
  out << pictureHtml(mirror, picture.caption);
  if (!out) return warn("cannot write " + picture.html.string());
  Entry entry{EntryKind::picture, picture.html.string()};
  entry.data["html"] = picture.html.string();
  entry.data["pictureKind"] = "html";
  timeline_.emit(std::move(entry));
  pictures_.push_back(std::move(picture));
}

void Player::addPicture(const std::filesystem::path& png, const std::string& kind,
                        const std::string& caption) {
  Entry entry{EntryKind::picture, png.string()};
  entry.data["png"] = png.string();
  entry.data["pictureKind"] = kind;
  timeline_.emit(std::move(entry));
  pictures_.push_back({{}, png, "step " + std::to_string(stepNumber_) + ": " + caption});
}

std::shared_ptr<ui::ViewController> Player::screenOrWarn() {
  if (!host_.current()) warn("no screen is shown yet: start with a \"show\" step");
  return host_.current();
}

void Player::warn(std::string text) {
  ++warnings_;
  timeline_.emit(EntryKind::warning, std::move(text));
}

void Player::unsupported(const std::string& what) {
  ++unsupported_;
  Entry entry{EntryKind::unsupported, what + ": not supported by this build"};
  timeline_.emit(std::move(entry));
}

}  // namespace tavrino::sim
