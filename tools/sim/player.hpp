#pragma once

// Plays a scenario's steps against the host application: each step is done
// the way a host (or its user) would, the SDK is given time to settle, and
// then the timeline gets what the service received, what changed in the
// store and on the screen, and a picture of the screen when it changed.
//
// Thread-safety: main thread only.

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/hits.hpp"
#include "sim/host_app.hpp"
#include "sim/run_files.hpp"
#include "sim/scenario.hpp"
#include "sim/sim_platform.hpp"
#include "sim/timeline.hpp"
#include "sim/window_mode.hpp"

namespace tavrino::sim {

struct Picture {
  std::filesystem::path html;  // empty for a screenshot of a window
  std::optional<std::filesystem::path> png;
  std::string caption;
};

class Player {
 public:
  // hits may be null: the service cannot tell what it received.
  Player(const Scenario& scenario, SimPlatform& platform, HostApp& host, Timeline& timeline,
         HitSource* hits, std::filesystem::path pictureFolder);

  // Makes the pictures screenshots of window instead of HTML pages, and has
  // pushes shown by the desktop's notification server.
  void useWindow(WindowMode& window) { window_ = &window; }

  // Plays every step in order.
  void play();

  const std::vector<Picture>& pictures() const { return pictures_; }
  // Every request the service received, as far as it tells.
  const std::vector<service::RecordedRequest>& hits() const { return hitsSeen_; }
  int unsupportedSteps() const { return unsupported_; }
  int warnings() const { return warnings_; }
  // How many subtrees the SDK laid on the screen.
  int campaignViewsShown() const { return campaignViews_; }

  // Runs the main loop until the SDK has settled: no work under way and
  // nothing happening for a moment, and at least `atLeast` has passed.
  void settle(std::chrono::milliseconds atLeast = std::chrono::milliseconds(0));

 private:
  void perform(const Step& step);
  void report(const std::string& caption);
  void reportScreen();
  void reportStore();
  void reportHits();
  void reportOpenedUrls();
  void drawPicture(const std::string& caption);
  void addPicture(const std::filesystem::path& png, const std::string& kind,
                  const std::string& caption);
  // The push as the desktop shows it: the application hands the content the
  // extension made to the notification server.
  void showOnDesktop(const Json& payload, const std::string& extensionOutput);

  // The step kinds (step_actions.cpp, tap.cpp, push_steps.cpp).
  void doShow(const ShowStep& step);
  void doEvent(const EventStep& step);
  void doCart(const CartStep& step);
  void doDeepLink(const DeepLinkStep& step);
  void doTap(const TapStep& step);
  void doShake(const ShakeStep& step);
  void doListingBadges(const ListingBadgesStep& step);
  void doInbox(const InboxStep& step);
  void doPush(const PushStep& step);
  void doPushTap(const PushTapStep& step);

  // The controller of the current screen; warns and returns null before the
  // first "show".
  std::shared_ptr<ui::ViewController> screenOrWarn();
  void warn(std::string text);
  void unsupported(const std::string& what);

  const Scenario& scenario_;
  SimPlatform& platform_;
  HostApp& host_;
  Timeline& timeline_;
  HitSource* hitSource_;
  std::filesystem::path pictureFolder_;

  std::vector<service::RecordedRequest> hitsSeen_;
  bool hitsUnavailableNoted_ = false;
  StoreSnapshot store_;
  std::uint64_t picturedVersion_ = 0;
  int stepNumber_ = 0;
  std::vector<Picture> pictures_;
  WindowMode* window_ = nullptr;
  int unsupported_ = 0;
  int warnings_ = 0;
  int campaignViews_ = 0;
  // The payload of the last push that arrived: what a tap opens.
  std::optional<Json> lastPush_;
  std::size_t urlsOpened_ = 0;
};

}  // namespace tavrino::sim
