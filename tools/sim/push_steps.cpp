// A push arriving and the user tapping it. The notification extension runs
// as a child process over the application's data directory and app group,
// as the platform runs it; then the application receives the payload. A tap
// reaches the SDK through the user-notification centre's delegate, or
// through Util::pushClicked when no delegate is installed (push never
// registered), as a host forwarding taps itself would.

#include <fstream>
#include <sstream>

#include "sim/extension_process.hpp"
#include "sim/player.hpp"
#include "tavrino/platform/platform.hpp"
#include "tavrino/util/push.hpp"

namespace tavrino::sim {
namespace {

using namespace std::chrono_literals;

// The platform ends a service extension after about 30 s.
constexpr std::chrono::seconds kExtensionLimit{40};

void substituteBase(Json& value, const std::string& base) {
  if (value.is_string()) {
    std::string text = value.get<std::string>();
    constexpr std::string_view kMark = "{{base}}";
    for (auto at = text.find(kMark); at != std::string::npos; at = text.find(kMark, at)) {
      text.replace(at, kMark.size(), base);
      at += base.size();
    }
    value = text;
  } else if (value.is_structured()) {
    for (auto& child : value) substituteBase(child, base);
  }
}

// The extension prints one "name: value" line per field of the content; its
// debug log (on through the shared store) goes to the same stream.
std::string contentLines(const std::string& output) {
  std::string lines;
  std::size_t start = 0;
  while (start < output.size()) {
    auto end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    for (std::string_view field : {"title: ", "body: ", "category: ", "attachment: "}) {
      if (line.starts_with(field)) lines += (lines.empty() ? "" : "\n") + line;
    }
    start = end + 1;
  }
  return lines;
}

}  // namespace

void Player::doPush(const PushStep& step) {
  Json payload = step.payload;
  substituteBase(payload, host_.baseUrl());
  const auto payloadFile =
      pictureFolder_.parent_path() / ("push-" + std::to_string(stepNumber_) + ".json");
  {
    std::ofstream out(payloadFile, std::ios::binary | std::ios::trunc);
    out << payload.dump(2);
    if (!out) return warn("cannot write the payload to " + payloadFile.string());
  }

  std::vector<std::string> argv{TAVRINO_SIM_EXTENSION_PATH,
                                "--data-dir",
                                host_.dataDirectory().string(),
                                "--base-url",
                                host_.baseUrl(),
                                "--company",
                                scenario_.sdk.companyId,
                                "--image-key",
                                step.imageKey,
                                "--cdn",
                                host_.contentDeliveryOrigin()};
  if (!scenario_.sdk.appGroup.empty()) {
    argv.insert(argv.end(), {"--group", scenario_.sdk.appGroup});
  }
  argv.push_back(payloadFile.string());
  // The extension's image attachments stay inside the run's folder.
  const auto attachments = pictureFolder_.parent_path() / "attachments";
  std::error_code error;
  std::filesystem::create_directories(attachments, error);
  auto& dispatch = platform_.dispatch();
  const ChildOutcome child = runChild(argv, error ? std::string() : attachments.string(),
                                      kExtensionLimit, [&] { dispatch.runFor(10ms); });
  if (!child.started) return warn("cannot start the notification extension " + argv[0]);
  if (child.timedOut) {
    warn("the notification extension did not finish within " +
         std::to_string(kExtensionLimit.count()) + " s and was ended");
  } else if (child.exitCode != 0) {
    // Its debug log may be long: the end says why it stopped.
    constexpr std::size_t kShown = 2000;
    const std::string tail = child.output.size() > kShown
                                 ? "..." + child.output.substr(child.output.size() - kShown)
                                 : child.output;
    warn("the notification extension failed (exit code " + std::to_string(child.exitCode) +
         "): " + tail);
  } else {
    const std::string content = contentLines(child.output);
    Entry entry{EntryKind::host, "notification extension:\n" + content};
    entry.data["extension"] = content;
    timeline_.emit(std::move(entry));
    if (window_) showOnDesktop(payload, content);
  }

  // The application hears of the notification whatever the extension did.
  lastPush_ = payload;
  timeline_.emit(EntryKind::host, "application receives the notification");
  host_.client().didReceiveNotification(nullptr, payload);
}

void Player::showOnDesktop(const Json& payload, const std::string& extensionOutput) {
  platform::NotificationRequest request{.identifier = "remote"};
  auto& content = request.content;
  content.userInfo = payload;
  std::istringstream lines(extensionOutput);
  for (std::string line; std::getline(lines, line);) {
    const auto colon = line.find(": ");
    const std::string field = line.substr(0, colon), value = line.substr(colon + 2);
    if (field == "title") content.title = value;
    if (field == "body") content.body = value;
    if (field == "category") content.categoryIdentifier = value;
    if (field == "attachment" && !value.empty()) content.attachments.push_back({"image", value});
  }
  // The extension ran in a process of its own: the buttons of its category
  // are given to this process's notification centre too.
  if (!content.categoryIdentifier.empty() && payload.contains("actionButtons")) {
    host_.client().addActionButtons(
        scenario_.sdk.appGroup.empty() ? "notset" : scenario_.sdk.appGroup,
        payload["actionButtons"], content.categoryIdentifier, content);
  }
  std::string why;
  const auto shown = window_->showNotification(std::move(request), &why);
  if (!shown) return timeline_.emit(EntryKind::host, "the notification is not pictured: " + why);
  Entry entry{EntryKind::host, "the notification server shows \"" + shown->summary + "\""};
  entry.data["notificationServer"] = {
      {"summary", shown->summary}, {"body", shown->body}, {"image", shown->image}};
  timeline_.emit(std::move(entry));
  char number[8];
  std::snprintf(number, sizeof number, "%02d", stepNumber_);
  const auto png = pictureFolder_ / (number + std::string("-notification-on-the-screen.png"));
  if (!window_->screenshotScreen(png))
    return warn("no screenshot of the screen for " + png.string());
  addPicture(png, "screen", "the notification as the server shows it");
}

void Player::doPushTap(const PushTapStep& step) {
  if (!lastPush_) return warn("no notification arrived yet: there is nothing to tap");
  const std::string action =
      step.action == "organic" ? std::string(platform::defaultActionIdentifier) : step.action;
  if (window_ && window_->answerNotification(action)) {
    return timeline_.emit(EntryKind::host, "the user answers the notification on the desktop");
  }
  auto& center = platform::current().userNotificationCenter();
  if (auto delegate = center.delegate()) {
    platform::NotificationResponse response;
    response.notification.request.identifier = "remote";
    response.notification.request.content.userInfo = *lastPush_;
    response.actionIdentifier = action;
    timeline_.emit(EntryKind::host, "the notification delegate receives the tap");
    delegate->didReceive(center, response, [] {});
  } else {
    timeline_.emit(EntryKind::host, "no notification delegate: Util::pushClicked");
    Util::pushClicked(*lastPush_, step.action);
  }
}

}  // namespace tavrino::sim
